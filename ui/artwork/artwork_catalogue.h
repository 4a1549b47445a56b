// Every picture of the dialog's artwork: its file name (also its name inside the resource
// bundle, under /org/orichalcumite/dialog/) and its exact size in pixels. The generator
// writes exactly these files; the dialog loads them by these names.
#pragma once

#include <array>
#include <string_view>

namespace orichalcumite {

struct ArtworkFile {
  std::string_view name;
  int width;
  int height;
};

// The bundle's prefix; a picture's resource path is the prefix, "/" and its name.
inline constexpr std::string_view kArtworkResourcePrefix = "/org/orichalcumite/dialog";

// The 24 horizontal slider tracks, one per bitmap id of the left and right slider columns.
inline constexpr std::array<int, 24> kHorizontalTrackIds = {125, 136, 251, 133, 137, 260, 139, 129,
                                                            138, 140, 142, 221, 267, 261, 258, 268,
                                                            259, 264, 130, 257, 266, 265, 277, 279};

inline constexpr int kShapeIconCount = 14;
inline constexpr int kTextureIconCount = 13;

inline constexpr std::array<ArtworkFile, 89> kArtworkFiles = {{
    {"background.png", 1006, 687}, {"track-125.png", 135, 12},
    {"track-136.png", 135, 12},    {"track-251.png", 135, 12},
    {"track-133.png", 135, 12},    {"track-137.png", 135, 12},
    {"track-260.png", 135, 12},    {"track-139.png", 135, 12},
    {"track-129.png", 135, 12},    {"track-138.png", 135, 12},
    {"track-140.png", 135, 12},    {"track-142.png", 135, 12},
    {"track-221.png", 135, 12},    {"track-267.png", 135, 12},
    {"track-261.png", 135, 12},    {"track-258.png", 135, 12},
    {"track-268.png", 135, 12},    {"track-259.png", 135, 12},
    {"track-264.png", 135, 12},    {"track-130.png", 135, 12},
    {"track-257.png", 135, 12},    {"track-266.png", 135, 12},
    {"track-265.png", 135, 12},    {"track-277.png", 135, 12},
    {"track-279.png", 135, 12},    {"track-337.png", 70, 12},
    {"track-263.png", 12, 45},     {"thumb-120.png", 12, 10},
    {"thumb-274.png", 10, 10},     {"light-ball.png", 85, 85},
    {"light-marker.png", 5, 5},    {"dot-preview-frame.png", 96, 96},
    {"dot-202.png", 8, 8},         {"dot-203.png", 8, 8},
    {"dot-208.png", 8, 8},         {"dot-210.png", 8, 8},
    {"dot-211.png", 8, 8},         {"dot-212.png", 8, 8},
    {"dot-213.png", 8, 8},         {"dot-214.png", 8, 8},
    {"dot-215.png", 8, 8},         {"dot-216.png", 8, 8},
    {"icon-225.png", 52, 21},      {"icon-240.png", 52, 21},
    {"icon-241.png", 52, 21},      {"icon-237.png", 52, 21},
    {"icon-242.png", 52, 21},      {"icon-186.png", 52, 21},
    {"icon-232.png", 52, 21},      {"icon-236.png", 16, 16},
    {"icon-235.png", 16, 16},      {"icon-331.png", 16, 16},
    {"icon-5.png", 10, 10},        {"icon-169.png", 10, 10},
    {"icon-231.png", 11, 10},      {"shape-1.png", 16, 16},
    {"shape-2.png", 16, 16},       {"shape-3.png", 16, 16},
    {"shape-4.png", 16, 16},       {"shape-5.png", 16, 16},
    {"shape-6.png", 16, 16},       {"shape-7.png", 16, 16},
    {"shape-8.png", 16, 16},       {"shape-9.png", 16, 16},
    {"shape-10.png", 16, 16},      {"shape-11.png", 16, 16},
    {"shape-12.png", 16, 16},      {"shape-13.png", 16, 16},
    {"shape-14.png", 16, 16},      {"texture-1.png", 16, 16},
    {"texture-2.png", 16, 16},     {"texture-3.png", 16, 16},
    {"texture-4.png", 16, 16},     {"texture-5.png", 16, 16},
    {"texture-6.png", 16, 16},     {"texture-7.png", 16, 16},
    {"texture-8.png", 16, 16},     {"texture-9.png", 16, 16},
    {"texture-10.png", 16, 16},    {"texture-11.png", 16, 16},
    {"texture-12.png", 16, 16},    {"texture-13.png", 16, 16},
    {"check-deco-1.png", 10, 10},  {"check-deco-2.png", 10, 10},
    {"check-deco-3.png", 10, 10},  {"about-282.png", 232, 171},
    {"info-332.png", 684, 656},    {"about-title-127.png", 160, 18},
    {"about-emblem-291.png", 24, 24},
}};

}  // namespace orichalcumite

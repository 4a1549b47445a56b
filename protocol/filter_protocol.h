// The classic image-filter plug-in protocol, written in our own words for the module and the
// host program. Field order and types follow the published layout so that a Windows build
// keeps the binary form; the static_asserts at the end keep every offset honest on LP64.
//
// Contract: every struct here is plain data shared between a host and a plug-in. FilterRecord
// and BigDocumentStruct are packed to 4 bytes (the published Windows packing, used here too so
// that LP64 offsets equal Win64 offsets); everything else has natural alignment. Read packed
// fields by name: never take the address of a FilterRecord field as a plain pointer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/four_char_code.h"

namespace ps {

// ---- Basic types -----------------------------------------------------------------------------

using Boolean = unsigned char;  // one byte, as on Windows
using Fixed = int32_t;          // 16.16 fixed point, 1.0 = 0x00010000
using OSType = uint32_t;
using ResType = uint32_t;
using DescType = uint32_t;
using OSErr = int16_t;
using Ptr = char*;
using Handle = char**;      // a pointer to a master pointer
using SPBoolean = int32_t;  // four bytes, as on Windows
using SPErr = int32_t;
using BufferID = struct PSBuffer*;

struct Point {
  int16_t v;
  int16_t h;
};
struct Rect {
  int16_t top, left, bottom, right;
};
struct VPoint {
  int32_t v;
  int32_t h;
};
struct VRect {
  int32_t top, left, bottom, right;
};
struct PSRGBColor {
  uint16_t red, green, blue;
};
using FilterColor = unsigned char[4];
using Str255 = unsigned char[256];  // byte 0 is the length
using ConstStr255Param = const unsigned char*;

struct PlatformData {
  intptr_t hwnd;
};

struct PlugInMonitor {
  Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY, ambient;
};

// Four-character code, first character in the most significant byte.
using orichalcumite::fourCC;

// ---- Selectors, modes, cases, results --------------------------------------------------------

enum Selector : int16_t {
  selectorAbout = 0,
  selectorParameters = 1,
  selectorPrepare = 2,
  selectorStart = 3,
  selectorContinue = 4,
  selectorFinish = 5,
};

enum ImageMode : int16_t {
  modeBitmap = 0,
  modeGrayScale = 1,
  modeIndexedColor = 2,
  modeRGBColor = 3,
  modeCMYKColor = 4,
  modeHSLColor = 5,
  modeHSBColor = 6,
  modeMultichannel = 7,
  modeDuotone = 8,
  modeLabColor = 9,
  modeGray16 = 10,
  modeRGB48 = 11,
  modeLab48 = 12,
  modeCMYK64 = 13,
  modeDeepMultichannel = 14,
  modeDuotone16 = 15,
  modeRGB96 = 16,
  modeGray32 = 17,
};

enum FilterCase : int16_t {
  filterCaseUnsupported = -1,
  filterCaseNotSet = 0,
  filterCaseFlatImageNoSelection = 1,
  filterCaseFlatImageWithSelection = 2,
  filterCaseFloatingSelection = 3,
  filterCaseEditableTransparencyNoSelection = 4,
  filterCaseEditableTransparencyWithSelection = 5,
  filterCaseProtectedTransparencyNoSelection = 6,
  filterCaseProtectedTransparencyWithSelection = 7,
};

// Result codes (written to the int16 result of PluginMain).
constexpr OSErr noErr = 0;
constexpr OSErr readErr = -19;
constexpr OSErr writErr = -20;
constexpr OSErr openErr = -23;
constexpr OSErr dskFulErr = -34;
constexpr OSErr ioErr = -36;
constexpr OSErr eofErr = -39;
constexpr OSErr fnfErr = -43;
constexpr OSErr paramErr = -50;
constexpr OSErr memFullErr = -108;
constexpr OSErr nilHandleErr = -109;
constexpr OSErr userCanceledErr = -128;
constexpr OSErr coercedParamErr = 2;
constexpr OSErr errMissingParameter = -1715;
constexpr OSErr filterBadParameters = -30100;
constexpr OSErr filterBadMode = -30101;
constexpr OSErr errPlugInHostInsufficient = -30900;
constexpr OSErr errPlugInPropertyUndefined = -30901;
constexpr OSErr errReportString = -30904;

// Basic-suite errors (32-bit).
constexpr SPErr kSPNoError = 0;
constexpr SPErr kSPSuiteNotFoundError = SPErr(fourCC("S!Fd"));
constexpr SPErr kSPBadParameterError = SPErr(fourCC("Parm"));
constexpr SPErr kSPUnimplementedError = SPErr(fourCC("!IMP"));
constexpr SPErr kSPOutOfMemoryError = -108;

// Padding values for inputPadding, outputPadding and maskPadding (0..255 is a fill value).
constexpr int16_t plugInWantsEdgeReplication = -1;
constexpr int16_t plugInDoesNotWantPadding = -2;
constexpr int16_t plugInWantsErrorOnBoundsException = -3;

// samplingSupport
constexpr char hostDoesNotSupportSampling = 0;
constexpr char hostSupportsIntegralSampling = 1;
constexpr char hostSupportsFractionalSampling = 2;

constexpr OSType kClassicHostSignature = fourCC("8BIM");
constexpr OSType kFilterKind = fourCC("8BFM");

// ---- Callbacks ---------------------------------------------------------------------------------

struct PSPixelMap;
struct ColorServicesInfo;

using TestAbortProc = Boolean (*)();
using ProgressProc = void (*)(int32_t done, int32_t total);
using HostProc = void (*)(int16_t selector, intptr_t* data);
using ProcessEventProc = void (*)(void* event);
using DisplayPixelsProc = OSErr (*)(const PSPixelMap* source, const VRect* srcRect, int32_t dstRow,
                                    int32_t dstCol, void* platformContext);
using AdvanceStateProc = OSErr (*)();
using ColorServicesProc = OSErr (*)(ColorServicesInfo* info);
using GetPropertyProc = OSErr (*)(uint32_t signature, uint32_t key, int32_t index,
                                  intptr_t* simpleProperty, Handle* complexProperty);
using SetPropertyProc = OSErr (*)(uint32_t signature, uint32_t key, int32_t index,
                                  intptr_t simpleProperty, Handle complexProperty);
using SpaceProc = int32_t (*)();

// ---- Handle, buffer and other callback tables (natural alignment) ------------------------------

constexpr int16_t kCurrentHandleProcsVersion = 1;
constexpr int16_t kCurrentHandleProcsCount = 8;

struct HandleProcs {
  int16_t handleProcsVersion;
  int16_t numHandleProcs;
  Handle (*newProc)(int32_t size);
  void (*disposeProc)(Handle h);
  int32_t (*getSizeProc)(Handle h);
  OSErr (*setSizeProc)(Handle h, int32_t newSize);
  Ptr (*lockProc)(Handle h, Boolean moveHigh);
  void (*unlockProc)(Handle h);
  void (*recoverSpaceProc)(int32_t size);
  void (*disposeRegularHandleProc)(Handle h);
};

constexpr int16_t kCurrentBufferProcsVersion = 2;

struct BufferProcs {
  int16_t bufferProcsVersion;
  int16_t numBufferProcs;  // check before using procs 6..8: some hosts fill only five
  OSErr (*allocateProc)(int32_t size, BufferID* id);
  Ptr (*lockProc)(BufferID id, Boolean moveHigh);
  void (*unlockProc)(BufferID id);
  void (*freeProc)(BufferID id);
  SpaceProc spaceProc;
  OSErr (*reserveProc)(int32_t size);
  OSErr (*allocateProc64)(int64_t size, BufferID* id);
  int64_t (*spaceProc64)();
};

struct ResourceProcs {
  int16_t resourceProcsVersion;
  int16_t numResourceProcs;
  int16_t (*countProc)(ResType type);
  Handle (*getProc)(ResType type, int16_t index);
  void (*deleteProc)(ResType type, int16_t index);
  OSErr (*addProc)(ResType type, Handle data);
};

struct PropertyProcs {
  int16_t propertyProcsVersion;
  int16_t numPropertyProcs;
  GetPropertyProc getPropertyProc;
  SetPropertyProc setPropertyProc;
};

// Image services, channel ports and document descriptions are opaque to this system; hosts
// that offer them fill these tables, and we never call through them.
struct ImageServicesProcs {
  int16_t imageServicesProcsVersion;
  int16_t numImageServicesProcs;
  void* interpolate1DProc;
  void* interpolate2DProc;
  void* interpolate1DMultiProc;
  void* interpolate2DMultiProc;
  void* interpolate1DMulti32Proc;
  void* interpolate2DMulti32Proc;
};

struct ChannelPortProcs {
  int16_t channelPortProcsVersion;
  int16_t numChannelPortProcs;
  void* readPixelsProc;
  void* writeBasePixelsProc;
  void* readPortForWritePortProc;
};

struct ReadImageDocumentDesc;

// ---- Pixel maps and colour services (natural alignment) ----------------------------------------

// maskDescription of a PSPixelMask.
constexpr int32_t kSimplePSMask = 0;
constexpr int32_t kBlackMatPSMask = 1;
constexpr int32_t kGrayMatPSMask = 2;
constexpr int32_t kWhiteMatPSMask = 3;
constexpr int32_t kInvertPSMask = 4;

struct PSPixelMask {
  PSPixelMask* next;
  void* maskData;
  int32_t rowBytes;
  int32_t colBytes;
  int32_t maskDescription;  // 0 simple, 1 black mat, 2 grey mat, 3 white mat, 4 invert
};

struct PSPixelOverlay;

struct PSPixelMap {
  int32_t version;
  VRect bounds;
  int32_t imageMode;
  int32_t rowBytes;
  int32_t colBytes;
  int32_t planeBytes;
  void* baseAddr;
  // version 1
  PSPixelMask* mat;
  PSPixelMask* masks;
  int32_t maskPhaseRow;
  int32_t maskPhaseCol;
  // version 2
  PSPixelOverlay* pixelOverlays;
  uint32_t colorManagementOptions;
  // version 3
  int16_t depth;
};

// The drawing surface that displayPixels reaches on Linux. Its platformContext points at one
// of these: memory laid out as a cairo CAIRO_FORMAT_RGB24 image (32 bits per pixel, 0x00RRGGBB
// in the machine's byte order, rows `rowBytes` apart). The host writes the pixel map's srcRect
// with its top-left corner at row dstRow, column dstCol of the surface, clipped to the surface;
// the dialog wraps the same memory in a cairo image surface and paints it. A host that knows
// no such surface, or sees a version it does not know, answers paramErr.
constexpr int32_t kPlatformDisplaySurfaceVersion = 1;
struct PlatformDisplaySurface {
  int32_t version;
  int32_t width;
  int32_t height;
  int32_t rowBytes;
  uint8_t* pixels;
};

enum ColorServicesSelector : int16_t {
  plugIncolorServicesChooseColor = 0,
  plugIncolorServicesConvertColor = 1,
  plugIncolorServicesSamplePoint = 2,
  plugIncolorServicesGetSpecialColor = 3,
};

enum ColorSpace : int16_t {
  plugIncolorServicesChosenSpace = -1,
  plugIncolorServicesRGBSpace = 0,
  plugIncolorServicesHSBSpace = 1,
  plugIncolorServicesCMYKSpace = 2,
  plugIncolorServicesLabSpace = 3,
  plugIncolorServicesGraySpace = 4,
  plugIncolorServicesHSLSpace = 5,
  plugIncolorServicesXYZSpace = 6,
};

struct ColorServicesInfo {
  int32_t infoSize;
  int16_t selector;
  int16_t sourceSpace;
  int16_t resultSpace;
  Boolean resultGamutInfoValid;
  Boolean resultInGamut;
  void* reservedSourceSpaceInfo;
  void* reservedResultSpaceInfo;
  int16_t colorComponents[4];
  void* reserved;
  union {
    Str255* pickerPrompt;
    Point* globalSamplePoint;
    int32_t specialColorID;
  } selectorParameter;
};

// ---- Scripting descriptors (natural alignment) -------------------------------------------------

using PIDescriptorHandle = Handle;
using PIReadDescriptor = struct PIOpaqueReadDescriptor*;
using PIWriteDescriptor = struct PIOpaqueWriteDescriptor*;
using DescriptorKeyID = uint32_t;
using DescriptorTypeID = uint32_t;
using DescriptorClassID = uint32_t;
using DescriptorUnitID = uint32_t;
using DescriptorEnumID = uint32_t;
using DescriptorEnumTypeID = uint32_t;
using DescriptorKeyIDArray = DescriptorKeyID*;  // zero-terminated

struct PIDescriptorSimpleReference {
  DescType desiredClass;
  DescType keyForm;
  struct {
    Str255 name;
    int32_t index;
    DescType type;
    DescType value;
  } keyData;
};

constexpr int16_t kCurrentDescriptorParametersVersion = 0;
constexpr int16_t kCurrentReadDescriptorProcsVersion = 0;
constexpr int16_t kCurrentReadDescriptorProcsCount = 18;
constexpr int16_t kCurrentWriteDescriptorProcsVersion = 0;
constexpr int16_t kCurrentWriteDescriptorProcsCount = 16;

// playInfo
constexpr int16_t plugInDialogDontDisplay = 0;
constexpr int16_t plugInDialogDisplay = 1;
constexpr int16_t plugInDialogSilent = 2;
// recordInfo
constexpr int16_t plugInDialogOptional = 0;
constexpr int16_t plugInDialogRequired = 1;
constexpr int16_t plugInDialogNone = 2;

// Descriptor type codes.
constexpr DescType typeInteger = fourCC("long");
constexpr DescType typeFloat = fourCC("doub");
constexpr DescType typeBoolean = fourCC("bool");
constexpr DescType typeUnitFloat = fourCC("UntF");
constexpr DescType typeEnumerated = fourCC("enum");
constexpr DescType typeChar = fourCC("TEXT");
constexpr DescType typeText = fourCC("TEXT");
constexpr DescType typeObject = fourCC("Objc");
constexpr DescType typeClass = fourCC("type");
constexpr DescType typeAlias = fourCC("alis");
constexpr DescType typeNull = fourCC("null");
constexpr DescType typeImageReference = fourCC("#ImR");

// getKeyProc flags
constexpr int32_t actionSimpleParameter = 0;
constexpr int32_t actionEnumeratedParameter = 0x2000;
constexpr int32_t actionListParameter = 0x4000;
constexpr int32_t actionOptionalParameter = 0x8000;

struct ReadDescriptorProcs {
  int16_t readDescriptorProcsVersion;
  int16_t numReadDescriptorProcs;
  PIReadDescriptor (*openReadDescriptorProc)(PIDescriptorHandle, DescriptorKeyIDArray);
  OSErr (*closeReadDescriptorProc)(PIReadDescriptor);
  Boolean (*getKeyProc)(PIReadDescriptor, DescriptorKeyID* key, DescriptorTypeID* type,
                        int32_t* flags);
  OSErr (*getIntegerProc)(PIReadDescriptor, int32_t*);
  OSErr (*getFloatProc)(PIReadDescriptor, double*);
  OSErr (*getUnitFloatProc)(PIReadDescriptor, DescriptorUnitID*, double*);
  OSErr (*getBooleanProc)(PIReadDescriptor, Boolean*);
  OSErr (*getTextProc)(PIReadDescriptor, Handle*);
  OSErr (*getAliasProc)(PIReadDescriptor, Handle*);
  OSErr (*getEnumeratedProc)(PIReadDescriptor, DescriptorEnumID*);
  OSErr (*getClassProc)(PIReadDescriptor, DescriptorTypeID*);
  OSErr (*getSimpleReferenceProc)(PIReadDescriptor, PIDescriptorSimpleReference*);
  OSErr (*getObjectProc)(PIReadDescriptor, DescriptorTypeID*, PIDescriptorHandle*);
  OSErr (*getCountProc)(PIReadDescriptor, uint32_t*);
  OSErr (*getStringProc)(PIReadDescriptor, Str255*);
  OSErr (*getPinnedIntegerProc)(PIReadDescriptor, int32_t min, int32_t max, int32_t*);
  OSErr (*getPinnedFloatProc)(PIReadDescriptor, const double* min, const double* max, double*);
  OSErr (*getPinnedUnitFloatProc)(PIReadDescriptor, const double* min, const double* max,
                                  DescriptorUnitID*, double*);
};

struct WriteDescriptorProcs {
  int16_t writeDescriptorProcsVersion;
  int16_t numWriteDescriptorProcs;
  PIWriteDescriptor (*openWriteDescriptorProc)();
  OSErr (*closeWriteDescriptorProc)(PIWriteDescriptor, PIDescriptorHandle*);
  OSErr (*putIntegerProc)(PIWriteDescriptor, DescriptorKeyID, int32_t);
  OSErr (*putFloatProc)(PIWriteDescriptor, DescriptorKeyID, const double*);
  OSErr (*putUnitFloatProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorUnitID, const double*);
  OSErr (*putBooleanProc)(PIWriteDescriptor, DescriptorKeyID, Boolean);
  OSErr (*putTextProc)(PIWriteDescriptor, DescriptorKeyID, Handle);
  OSErr (*putAliasProc)(PIWriteDescriptor, DescriptorKeyID, Handle);
  OSErr (*putEnumeratedProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID type,
                             DescriptorEnumID value);
  OSErr (*putClassProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID);
  OSErr (*putSimpleReferenceProc)(PIWriteDescriptor, DescriptorKeyID,
                                  const PIDescriptorSimpleReference*);
  OSErr (*putObjectProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, PIDescriptorHandle);
  OSErr (*putCountProc)(PIWriteDescriptor, DescriptorKeyID, uint32_t count);
  OSErr (*putStringProc)(PIWriteDescriptor, DescriptorKeyID, ConstStr255Param);
  OSErr (*putScopedClassProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID);
  OSErr (*putScopedObjectProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID,
                               PIDescriptorHandle);
};

struct PIDescriptorParameters {
  int16_t descriptorParametersVersion;
  int16_t playInfo;
  int16_t recordInfo;
  PIDescriptorHandle descriptor;
  WriteDescriptorProcs* writeDescriptorProcs;
  ReadDescriptorProcs* readDescriptorProcs;
};

// ---- The basic suite and the About record (natural alignment) ----------------------------------

struct SPBasicSuite {
  SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
  SPErr (*ReleaseSuite)(const char* name, int32_t version);
  SPBoolean (*IsEqual)(const char* token1, const char* token2);
  SPErr (*AllocateBlock)(size_t size, void** block);
  SPErr (*FreeBlock)(void* block);
  SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newBlock);
  SPErr (*Undefined)();
};

struct AboutRecord {
  void* platformData;
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  char reserved[244];
};

// ---- The filter record and big-document data (packed to 4 bytes) -------------------------------

#pragma pack(push, 4)

struct BigDocumentStruct {
  int32_t PluginUsing32BitCoordinates;  // set by the plug-in when it reads the 32-bit fields
  VPoint imageSize32;
  VRect filterRect32;
  VRect inRect32;
  VRect outRect32;
  VRect maskRect32;
  VPoint floatCoord32;
  VPoint wholeSize32;
};

struct FilterRecord {
  int32_t serialNumber;
  TestAbortProc abortProc;
  ProgressProc progressProc;
  Handle parameters;
  Point imageSize;
  int16_t planes;
  Rect filterRect;
  PSRGBColor background;
  PSRGBColor foreground;
  int32_t maxSpace;
  int32_t bufferSpace;
  Rect inRect;
  int16_t inLoPlane;
  int16_t inHiPlane;
  Rect outRect;
  int16_t outLoPlane;
  int16_t outHiPlane;
  void* inData;
  int32_t inRowBytes;
  void* outData;
  int32_t outRowBytes;
  Boolean isFloating;
  Boolean haveMask;
  Boolean autoMask;
  Rect maskRect;
  void* maskData;
  int32_t maskRowBytes;
  FilterColor backColor;
  FilterColor foreColor;
  OSType hostSig;
  HostProc hostProc;
  int16_t imageMode;
  Fixed imageHRes;
  Fixed imageVRes;
  Point floatCoord;
  Point wholeSize;
  PlugInMonitor monitor;
  void* platformData;
  BufferProcs* bufferProcs;
  ResourceProcs* resourceProcs;
  ProcessEventProc processEvent;
  DisplayPixelsProc displayPixels;
  HandleProcs* handleProcs;
  // 3.0
  Boolean supportsDummyChannels;
  Boolean supportsAlternateLayouts;
  int16_t wantLayout;
  int16_t filterCase;
  int16_t dummyPlaneValue;
  void* premiereHook;
  AdvanceStateProc advanceState;
  Boolean supportsAbsolute;
  Boolean wantsAbsolute;
  GetPropertyProc getPropertyObsolete;
  Boolean cannotUndo;
  Boolean supportsPadding;
  int16_t inputPadding;
  int16_t outputPadding;
  int16_t maskPadding;
  char samplingSupport;
  char reservedByte;
  Fixed inputRate;
  Fixed maskRate;
  ColorServicesProc colorServices;
  int16_t inLayerPlanes;
  int16_t inTransparencyMask;
  int16_t inLayerMasks;
  int16_t inInvertedLayerMasks;
  int16_t inNonLayerPlanes;
  int16_t outLayerPlanes;
  int16_t outTransparencyMask;
  int16_t outLayerMasks;
  int16_t outInvertedLayerMasks;
  int16_t outNonLayerPlanes;
  int16_t absLayerPlanes;
  int16_t absTransparencyMask;
  int16_t absLayerMasks;
  int16_t absInvertedLayerMasks;
  int16_t absNonLayerPlanes;
  int16_t inPreDummyPlanes;
  int16_t inPostDummyPlanes;
  int16_t outPreDummyPlanes;
  int16_t outPostDummyPlanes;
  int32_t inColumnBytes;
  int32_t inPlaneBytes;
  int32_t outColumnBytes;
  int32_t outPlaneBytes;
  // 3.0.4
  ImageServicesProcs* imageServicesProcs;
  PropertyProcs* propertyProcs;
  int16_t inTileHeight;
  int16_t inTileWidth;
  Point inTileOrigin;
  int16_t absTileHeight;
  int16_t absTileWidth;
  Point absTileOrigin;
  int16_t outTileHeight;
  int16_t outTileWidth;
  Point outTileOrigin;
  int16_t maskTileHeight;
  int16_t maskTileWidth;
  Point maskTileOrigin;
  // 4.0
  PIDescriptorParameters* descriptorParameters;
  Str255* errorString;
  ChannelPortProcs* channelPortProcs;
  ReadImageDocumentDesc* documentInfo;
  // 5.0
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  int32_t depth;
  // 6.0
  Handle iCCprofileData;
  int32_t iCCprofileSize;
  int32_t canUseICCProfiles;
  // 7.0
  int32_t hasImageScrap;
  // 8.0: null when the host has no big-document support
  BigDocumentStruct* bigDocumentData;
  // 10.0
  PIDescriptorParameters* input3DScene;
  PIDescriptorParameters* output3DScene;
  Boolean createNewLayer;
  // 13.0
  Handle iCCWorkingProfileData;
  int32_t iCCWorkingProfileSize;
  // 18.0
  int64_t bufferSpace64;
  int64_t maxSpace64;
  Boolean allowOverrangeColors;
  char reserved[45];
};

#pragma pack(pop)

// ---- PIPL and AETE -----------------------------------------------------------------------------

// One entry of the 'fici' property, in filter-case order 1..7 (packed to one byte).
struct FilterCaseInfo {
  char inputHandling;
  char outputHandling;
  char flags1;
  char flags2;
};

enum FilterDataHandling : char {
  filterDataHandlingCantFilter = 0,
  filterDataHandlingNone = 1,
  filterDataHandlingBlackMat = 2,
  filterDataHandlingGrayMat = 3,
  filterDataHandlingWhiteMat = 4,
  filterDataHandlingDefringe = 5,
  filterDataHandlingBlackZap = 6,
  filterDataHandlingGrayZap = 7,
  filterDataHandlingWhiteZap = 8,
  filterDataHandlingFillMask = 9,
  filterDataHandlingBackgroundZap = 10,
  filterDataHandlingForegroundZap = 11,
};

// The ELF sections of the module that hold its resources, so a host can read them without
// running code.
inline constexpr const char* kPiplSectionName = ".pipl";
inline constexpr const char* kAeteSectionName = ".aete";
inline constexpr const char* kEntryPointName = "PluginMain";

using PluginMainProc = void (*)(int16_t selector, void* record, intptr_t* data, int16_t* result);

// ---- Layout checks -----------------------------------------------------------------------------

#define PS_CHECK_OFFSET(type, field, offset) \
  static_assert(offsetof(type, field) == (offset), #type "." #field " is misplaced")

static_assert(sizeof(Point) == 4 && sizeof(Rect) == 8 && sizeof(VRect) == 16);
static_assert(sizeof(PSRGBColor) == 6 && sizeof(PlugInMonitor) == 40);
static_assert(sizeof(FilterCaseInfo) == 4);

PS_CHECK_OFFSET(FilterRecord, serialNumber, 0);
PS_CHECK_OFFSET(FilterRecord, abortProc, 4);
PS_CHECK_OFFSET(FilterRecord, progressProc, 12);
PS_CHECK_OFFSET(FilterRecord, parameters, 20);
PS_CHECK_OFFSET(FilterRecord, imageSize, 28);
PS_CHECK_OFFSET(FilterRecord, planes, 32);
PS_CHECK_OFFSET(FilterRecord, filterRect, 34);
PS_CHECK_OFFSET(FilterRecord, background, 42);
PS_CHECK_OFFSET(FilterRecord, foreground, 48);
PS_CHECK_OFFSET(FilterRecord, maxSpace, 56);
PS_CHECK_OFFSET(FilterRecord, bufferSpace, 60);
PS_CHECK_OFFSET(FilterRecord, inRect, 64);
PS_CHECK_OFFSET(FilterRecord, inLoPlane, 72);
PS_CHECK_OFFSET(FilterRecord, inHiPlane, 74);
PS_CHECK_OFFSET(FilterRecord, outRect, 76);
PS_CHECK_OFFSET(FilterRecord, outLoPlane, 84);
PS_CHECK_OFFSET(FilterRecord, outHiPlane, 86);
PS_CHECK_OFFSET(FilterRecord, inData, 88);
PS_CHECK_OFFSET(FilterRecord, inRowBytes, 96);
PS_CHECK_OFFSET(FilterRecord, outData, 100);
PS_CHECK_OFFSET(FilterRecord, outRowBytes, 108);
PS_CHECK_OFFSET(FilterRecord, isFloating, 112);
PS_CHECK_OFFSET(FilterRecord, haveMask, 113);
PS_CHECK_OFFSET(FilterRecord, autoMask, 114);
PS_CHECK_OFFSET(FilterRecord, maskRect, 116);
PS_CHECK_OFFSET(FilterRecord, maskData, 124);
PS_CHECK_OFFSET(FilterRecord, maskRowBytes, 132);
PS_CHECK_OFFSET(FilterRecord, backColor, 136);
PS_CHECK_OFFSET(FilterRecord, foreColor, 140);
PS_CHECK_OFFSET(FilterRecord, hostSig, 144);
PS_CHECK_OFFSET(FilterRecord, hostProc, 148);
PS_CHECK_OFFSET(FilterRecord, imageMode, 156);
PS_CHECK_OFFSET(FilterRecord, imageHRes, 160);
PS_CHECK_OFFSET(FilterRecord, imageVRes, 164);
PS_CHECK_OFFSET(FilterRecord, floatCoord, 168);
PS_CHECK_OFFSET(FilterRecord, wholeSize, 172);
PS_CHECK_OFFSET(FilterRecord, monitor, 176);
PS_CHECK_OFFSET(FilterRecord, platformData, 216);
PS_CHECK_OFFSET(FilterRecord, bufferProcs, 224);
PS_CHECK_OFFSET(FilterRecord, resourceProcs, 232);
PS_CHECK_OFFSET(FilterRecord, processEvent, 240);
PS_CHECK_OFFSET(FilterRecord, displayPixels, 248);
PS_CHECK_OFFSET(FilterRecord, handleProcs, 256);
PS_CHECK_OFFSET(FilterRecord, supportsDummyChannels, 264);
PS_CHECK_OFFSET(FilterRecord, supportsAlternateLayouts, 265);
PS_CHECK_OFFSET(FilterRecord, wantLayout, 266);
PS_CHECK_OFFSET(FilterRecord, filterCase, 268);
PS_CHECK_OFFSET(FilterRecord, dummyPlaneValue, 270);
PS_CHECK_OFFSET(FilterRecord, premiereHook, 272);
PS_CHECK_OFFSET(FilterRecord, advanceState, 280);
PS_CHECK_OFFSET(FilterRecord, supportsAbsolute, 288);
PS_CHECK_OFFSET(FilterRecord, wantsAbsolute, 289);
PS_CHECK_OFFSET(FilterRecord, getPropertyObsolete, 292);
PS_CHECK_OFFSET(FilterRecord, cannotUndo, 300);
PS_CHECK_OFFSET(FilterRecord, supportsPadding, 301);
PS_CHECK_OFFSET(FilterRecord, inputPadding, 302);
PS_CHECK_OFFSET(FilterRecord, outputPadding, 304);
PS_CHECK_OFFSET(FilterRecord, maskPadding, 306);
PS_CHECK_OFFSET(FilterRecord, samplingSupport, 308);
PS_CHECK_OFFSET(FilterRecord, reservedByte, 309);
PS_CHECK_OFFSET(FilterRecord, inputRate, 312);
PS_CHECK_OFFSET(FilterRecord, maskRate, 316);
PS_CHECK_OFFSET(FilterRecord, colorServices, 320);
PS_CHECK_OFFSET(FilterRecord, inLayerPlanes, 328);
PS_CHECK_OFFSET(FilterRecord, inTransparencyMask, 330);
PS_CHECK_OFFSET(FilterRecord, inLayerMasks, 332);
PS_CHECK_OFFSET(FilterRecord, inInvertedLayerMasks, 334);
PS_CHECK_OFFSET(FilterRecord, inNonLayerPlanes, 336);
PS_CHECK_OFFSET(FilterRecord, outLayerPlanes, 338);
PS_CHECK_OFFSET(FilterRecord, outTransparencyMask, 340);
PS_CHECK_OFFSET(FilterRecord, outLayerMasks, 342);
PS_CHECK_OFFSET(FilterRecord, outInvertedLayerMasks, 344);
PS_CHECK_OFFSET(FilterRecord, outNonLayerPlanes, 346);
PS_CHECK_OFFSET(FilterRecord, absLayerPlanes, 348);
PS_CHECK_OFFSET(FilterRecord, absTransparencyMask, 350);
PS_CHECK_OFFSET(FilterRecord, absLayerMasks, 352);
PS_CHECK_OFFSET(FilterRecord, absInvertedLayerMasks, 354);
PS_CHECK_OFFSET(FilterRecord, absNonLayerPlanes, 356);
PS_CHECK_OFFSET(FilterRecord, inPreDummyPlanes, 358);
PS_CHECK_OFFSET(FilterRecord, inPostDummyPlanes, 360);
PS_CHECK_OFFSET(FilterRecord, outPreDummyPlanes, 362);
PS_CHECK_OFFSET(FilterRecord, outPostDummyPlanes, 364);
PS_CHECK_OFFSET(FilterRecord, inColumnBytes, 368);
PS_CHECK_OFFSET(FilterRecord, inPlaneBytes, 372);
PS_CHECK_OFFSET(FilterRecord, outColumnBytes, 376);
PS_CHECK_OFFSET(FilterRecord, outPlaneBytes, 380);
PS_CHECK_OFFSET(FilterRecord, imageServicesProcs, 384);
PS_CHECK_OFFSET(FilterRecord, propertyProcs, 392);
PS_CHECK_OFFSET(FilterRecord, inTileHeight, 400);
PS_CHECK_OFFSET(FilterRecord, inTileWidth, 402);
PS_CHECK_OFFSET(FilterRecord, inTileOrigin, 404);
PS_CHECK_OFFSET(FilterRecord, absTileHeight, 408);
PS_CHECK_OFFSET(FilterRecord, absTileWidth, 410);
PS_CHECK_OFFSET(FilterRecord, absTileOrigin, 412);
PS_CHECK_OFFSET(FilterRecord, outTileHeight, 416);
PS_CHECK_OFFSET(FilterRecord, outTileWidth, 418);
PS_CHECK_OFFSET(FilterRecord, outTileOrigin, 420);
PS_CHECK_OFFSET(FilterRecord, maskTileHeight, 424);
PS_CHECK_OFFSET(FilterRecord, maskTileWidth, 426);
PS_CHECK_OFFSET(FilterRecord, maskTileOrigin, 428);
PS_CHECK_OFFSET(FilterRecord, descriptorParameters, 432);
PS_CHECK_OFFSET(FilterRecord, errorString, 440);
PS_CHECK_OFFSET(FilterRecord, channelPortProcs, 448);
PS_CHECK_OFFSET(FilterRecord, documentInfo, 456);
PS_CHECK_OFFSET(FilterRecord, sSPBasic, 464);
PS_CHECK_OFFSET(FilterRecord, plugInRef, 472);
PS_CHECK_OFFSET(FilterRecord, depth, 480);
PS_CHECK_OFFSET(FilterRecord, iCCprofileData, 484);
PS_CHECK_OFFSET(FilterRecord, iCCprofileSize, 492);
PS_CHECK_OFFSET(FilterRecord, canUseICCProfiles, 496);
PS_CHECK_OFFSET(FilterRecord, hasImageScrap, 500);
PS_CHECK_OFFSET(FilterRecord, bigDocumentData, 504);
PS_CHECK_OFFSET(FilterRecord, input3DScene, 512);
PS_CHECK_OFFSET(FilterRecord, output3DScene, 520);
PS_CHECK_OFFSET(FilterRecord, createNewLayer, 528);
PS_CHECK_OFFSET(FilterRecord, iCCWorkingProfileData, 532);
PS_CHECK_OFFSET(FilterRecord, iCCWorkingProfileSize, 540);
PS_CHECK_OFFSET(FilterRecord, bufferSpace64, 544);
PS_CHECK_OFFSET(FilterRecord, maxSpace64, 552);
PS_CHECK_OFFSET(FilterRecord, allowOverrangeColors, 560);
PS_CHECK_OFFSET(FilterRecord, reserved, 561);
static_assert(sizeof(FilterRecord) == 608);

PS_CHECK_OFFSET(BigDocumentStruct, imageSize32, 4);
PS_CHECK_OFFSET(BigDocumentStruct, filterRect32, 12);
PS_CHECK_OFFSET(BigDocumentStruct, inRect32, 28);
PS_CHECK_OFFSET(BigDocumentStruct, outRect32, 44);
PS_CHECK_OFFSET(BigDocumentStruct, maskRect32, 60);
PS_CHECK_OFFSET(BigDocumentStruct, floatCoord32, 76);
PS_CHECK_OFFSET(BigDocumentStruct, wholeSize32, 84);
static_assert(sizeof(BigDocumentStruct) == 92);

PS_CHECK_OFFSET(HandleProcs, newProc, 8);
PS_CHECK_OFFSET(HandleProcs, lockProc, 40);
PS_CHECK_OFFSET(HandleProcs, unlockProc, 48);
PS_CHECK_OFFSET(HandleProcs, disposeRegularHandleProc, 64);
static_assert(sizeof(HandleProcs) == 72);
PS_CHECK_OFFSET(BufferProcs, allocateProc, 8);
PS_CHECK_OFFSET(BufferProcs, spaceProc64, 64);
static_assert(sizeof(ResourceProcs) == 40 && sizeof(PropertyProcs) == 24);
static_assert(sizeof(ImageServicesProcs) == 56 && sizeof(ChannelPortProcs) == 32);

PS_CHECK_OFFSET(PSPixelMap, bounds, 4);
PS_CHECK_OFFSET(PSPixelMap, imageMode, 20);
PS_CHECK_OFFSET(PSPixelMap, baseAddr, 40);
PS_CHECK_OFFSET(PSPixelMap, mat, 48);
PS_CHECK_OFFSET(PSPixelMap, maskPhaseCol, 68);
PS_CHECK_OFFSET(PSPixelMap, pixelOverlays, 72);
PS_CHECK_OFFSET(PSPixelMap, colorManagementOptions, 80);
PS_CHECK_OFFSET(PSPixelMap, depth, 84);
static_assert(sizeof(PSPixelMap) == 88);
PS_CHECK_OFFSET(PSPixelMask, maskDescription, 24);
static_assert(sizeof(PSPixelMask) == 32);

PS_CHECK_OFFSET(ColorServicesInfo, selector, 4);
PS_CHECK_OFFSET(ColorServicesInfo, resultInGamut, 11);
PS_CHECK_OFFSET(ColorServicesInfo, reservedSourceSpaceInfo, 16);
PS_CHECK_OFFSET(ColorServicesInfo, colorComponents, 32);
PS_CHECK_OFFSET(ColorServicesInfo, reserved, 40);
PS_CHECK_OFFSET(ColorServicesInfo, selectorParameter, 48);
static_assert(sizeof(ColorServicesInfo) == 56);

PS_CHECK_OFFSET(PIDescriptorParameters, playInfo, 2);
PS_CHECK_OFFSET(PIDescriptorParameters, recordInfo, 4);
PS_CHECK_OFFSET(PIDescriptorParameters, descriptor, 8);
PS_CHECK_OFFSET(PIDescriptorParameters, writeDescriptorProcs, 16);
PS_CHECK_OFFSET(PIDescriptorParameters, readDescriptorProcs, 24);
static_assert(sizeof(PIDescriptorParameters) == 32);
PS_CHECK_OFFSET(ReadDescriptorProcs, openReadDescriptorProc, 8);
static_assert(sizeof(ReadDescriptorProcs) == 152);
PS_CHECK_OFFSET(WriteDescriptorProcs, openWriteDescriptorProc, 8);
static_assert(sizeof(WriteDescriptorProcs) == 136);

static_assert(sizeof(SPBasicSuite) == 56);
PS_CHECK_OFFSET(SPBasicSuite, Undefined, 48);
PS_CHECK_OFFSET(AboutRecord, sSPBasic, 8);
PS_CHECK_OFFSET(AboutRecord, reserved, 24);
static_assert(sizeof(AboutRecord) == 272);

#undef PS_CHECK_OFFSET

}  // namespace ps

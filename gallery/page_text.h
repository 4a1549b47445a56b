// The texts of the gallery pages: names escaped for the ISO-8859-1 HTML of the pages and for
// the image addresses, and the file names of the thumbnails.
//
// Names are UTF-8, as Linux file names are. A byte that is not part of well-formed UTF-8 is
// taken as the ISO-8859-1 character of the same number, so no name is ever refused.
#pragma once

#include <string>
#include <string_view>

namespace orichalcumite {

// `text` for HTML text and attribute values of an ISO-8859-1 page: the double quote,
// ampersand, less-than and greater-than signs as "&quot;", "&amp;", "&lt;" and "&gt;";
// characters 123 to 159 as "&#123;" (three digits); 160 to 255 as their HTML 4 named
// entities ("&nbsp;" to "&yuml;"); characters past 255, which the page's character set lacks,
// as decimal numeric references ("&#8364;"); everything else unchanged.
std::string entityEscape(std::string_view text);

// `text` for an address: letters and digits unchanged, every other byte (the UTF-8 bytes of
// a non-ASCII character included) as "%" and two lower-case hex digits.
std::string urlEscape(std::string_view text);

// A name made safe as a file name in the thumbnail folder: control characters become blanks,
// backslashes, slashes and colons underscores. Non-ASCII characters stay (the result is a
// UTF-8 name the page can address); a byte that is not UTF-8 becomes the ASCII character
// (byte AND 127) + 32, or an underscore where that would be a full stop or not ASCII.
std::string sanitisedFileName(std::string_view name);

// The name of the thumbnail of the file `name` in the thumbnail folder, without its ".jpg":
// the sanitised name without its last extension.
std::string thumbnailStem(std::string_view name);

// `name` without its last extension (from its last full stop on); the whole name when it has
// no full stop.
std::string_view withoutExtension(std::string_view name);

// The HTML 4 named entity of ISO-8859-1 character `c` (160..255), without "&" and ";".
std::string_view latin1EntityName(int c);

}  // namespace orichalcumite

#include "external/maplib/maptext.h"

#include "common/format.h"
#include "common/numtext.h"

#include <cmath>
#include <cstring>

namespace halyx {

namespace {

using Status = CMapParseResult::Status;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A code written as a character: printable ASCII other than the characters the grammar uses.
bool IsLiteralCode(unsigned char c) {
    return c >= 0x21 && c <= 0x7E && !IsDigit(static_cast<char>(c)) && c != '/' && c != '{' &&
           c != '}';
}

CMapParseResult Fail(Status status, size_t offset, std::string description) {
    CMapParseResult result;
    result.status = status;
    result.offset = offset;
    result.description = std::move(description);
    return result;
}

// Reads decimal digits at pos; false when the value exceeds limit.
bool ReadDigits(std::string_view text, size_t& pos, int64_t limit, int64_t& value) {
    value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        value = value * 10 + (text[pos] - '0');
        if (value > limit) {
            return false;
        }
        ++pos;
    }
    return true;
}

std::string JoinWithoutLineEnds(const std::vector<std::string_view>& lines, size_t first) {
    size_t size = 0;
    for (size_t i = first; i < lines.size(); ++i) {
        size += lines[i].size();
    }
    std::string joined;
    joined.reserve(size);
    for (size_t i = first; i < lines.size(); ++i) {
        joined += lines[i];
    }
    return joined;
}

// "a:b" read as two decimals, split at the first ':'.
bool ReadRange(std::string_view line, double& first, double& second) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    first = ReadNumber(line.substr(0, colon));
    second = ReadNumber(line.substr(colon + 1));
    return true;
}

} // namespace

CMapParseResult ParseMapBody(std::string_view body, uint8_t* pixels, int width, int height) {
    const bool fill = pixels != nullptr;
    const int64_t widthLimit = fill ? width : kMaxMapSide;
    int64_t rowWidth = 0; // pixels so far in the current row
    int64_t firstWidth = -1;
    int64_t rows = 0;
    size_t rowStart = 0;
    uint8_t* row = fill && height > 0 ? pixels + static_cast<size_t>(height - 1) * width : nullptr;

    size_t pos = 0;
    while (pos < body.size()) {
        const char c = body[pos];
        if (IsBlank(c)) {
            ++pos;
            continue;
        }
        if (c == '/') {
            if (firstWidth < 0) {
                firstWidth = rowWidth;
                if (rowWidth == 0) {
                    return Fail(Status::Empty, pos, "the first row holds no pixels");
                }
            }
            if (rowWidth != (fill ? width : firstWidth)) {
                return Fail(Status::RowWidth, pos,
                            Format("row %lld has %lld pixels where %lld are expected",
                                   static_cast<long long>(rows + 1),
                                   static_cast<long long>(rowWidth),
                                   static_cast<long long>(fill ? width : firstWidth)));
            }
            ++rows;
            if (fill && rows < height) {
                row -= width;
            }
            rowWidth = 0;
            rowStart = ++pos;
            if (!fill && (rows > kMaxMapSide || rows * firstWidth > kMaxMapPixels)) {
                return Fail(Status::TooLarge, pos,
                            Format("the map is beyond the limit of %d rows and %lld pixels",
                                   kMaxMapSide, static_cast<long long>(kMaxMapPixels)));
            }
            continue;
        }
        const size_t runStart = pos;
        int64_t count = 1;
        if (IsDigit(c)) {
            if (!ReadDigits(body, pos, widthLimit, count)) {
                return Fail(
                    Status::BadCount, runStart,
                    Format("a run longer than %lld pixels", static_cast<long long>(widthLimit)));
            }
            if (count == 0) {
                return Fail(Status::BadCount, runStart, "a run of 0 pixels");
            }
            if (pos >= body.size() || body[pos] == '/' || IsBlank(body[pos])) {
                return Fail(Status::BadCount, runStart,
                            "a run count must be followed directly by a terrain code");
            }
        }
        uint8_t code = 0;
        const unsigned char k = static_cast<unsigned char>(body[pos]);
        if (k == '{') {
            ++pos;
            int64_t value = 0;
            const size_t digitsStart = pos;
            if (!ReadDigits(body, pos, 255, value) || pos == digitsStart || pos >= body.size() ||
                body[pos] != '}') {
                return Fail(Status::BadCode, runStart,
                            "a code in braces must be a number from 0 to 255, as in {7}");
            }
            code = static_cast<uint8_t>(value);
            ++pos;
        } else if (IsLiteralCode(k)) {
            code = k;
            ++pos;
        } else {
            return Fail(Status::BadCharacter, pos,
                        Format("unexpected character 0x%02X", static_cast<unsigned>(k)));
        }
        if (rowWidth + count > widthLimit) {
            return Fail(Status::RowWidth, runStart,
                        Format("row %lld is wider than %lld pixels",
                               static_cast<long long>(rows + 1),
                               static_cast<long long>(widthLimit)));
        }
        if (fill) {
            if (rows >= height) {
                return Fail(Status::RowCount, runStart,
                            Format("the text holds more than the map's %d rows", height));
            }
            std::memset(row + rowWidth, code, static_cast<size_t>(count));
        }
        rowWidth += count;
    }
    if (rowWidth > 0) {
        return Fail(Status::Unterminated, rowStart,
                    Format("the text ends inside row %lld (each row ends with '/')",
                           static_cast<long long>(rows + 1)));
    }
    if (rows == 0) {
        return Fail(Status::Empty, body.size(), "the text holds no rows");
    }
    if (fill && rows != height) {
        return Fail(Status::RowCount, body.size(),
                    Format("the text holds %lld rows where the map has %d",
                           static_cast<long long>(rows), height));
    }
    CMapParseResult result;
    result.width = static_cast<int>(fill ? width : firstWidth);
    result.height = static_cast<int>(rows);
    result.offset = body.size();
    return result;
}

std::vector<std::string_view> SplitMapLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = next;
    }
    return lines;
}

int MapTextVersion(std::string_view firstLine) {
    if (firstLine.starts_with(kMapMarker11)) {
        return 11;
    }
    if (firstLine.starts_with(kMapMarker12)) {
        return 12;
    }
    return 0;
}

bool ReadMapHeader(const std::vector<std::string_view>& lines, CMapHeader& header,
                   std::string& description) {
    if (lines.size() < 6) {
        description = Format("the header ends after line %d of 6", static_cast<int>(lines.size()));
        return false;
    }
    CMapHeader read;
    read.width = ReadInt(lines[1]);
    read.height = ReadInt(lines[3]);
    if (read.width <= 0 || read.height <= 0) {
        description = Format("the map size %d by %d is not above 0", read.width, read.height);
        return false;
    }
    if (read.width > kMaxMapSide || read.height > kMaxMapSide ||
        int64_t{read.width} * read.height > kMaxMapPixels) {
        description =
            Format("the map size %d by %d is beyond the limit of %d pixels a side and "
                   "%lld pixels",
                   read.width, read.height, kMaxMapSide, static_cast<long long>(kMaxMapPixels));
        return false;
    }
    if (!ReadRange(lines[2], read.minLat, read.maxLat) ||
        !ReadRange(lines[4], read.minLng, read.maxLng)) {
        description = "a range line lacks its ':'";
        return false;
    }
    const double latSpan = read.maxLat - read.minLat;
    const double lngSpan = read.maxLng - read.minLng;
    if (!std::isfinite(latSpan) || !std::isfinite(lngSpan) || latSpan == 0.0 || lngSpan == 0.0) {
        description = "a range is empty or not a finite number";
        return false;
    }
    read.velocityLine = std::string(lines[5]);
    header = std::move(read);
    return true;
}

CMapLoadResult LoadMapText(std::string_view text, CWorldMap& map) {
    CMapLoadResult result;
    const std::vector<std::string_view> lines = SplitMapLines(text);
    result.version = lines.empty() ? 0 : MapTextVersion(lines[0]);
    if (result.version == 0) {
        result.status = CMapLoadResult::Status::NoMarker;
        result.description = "the text does not begin with a map data marker";
        return result;
    }
    CWorldMap fresh;
    if (result.version == 11) {
        const std::string body = JoinWithoutLineEnds(lines, 1);
        result.body = fresh.parse(body, false);
        if (result.body) {
            fresh.create(result.body.width, result.body.height, kUnsetTerrain);
            result.body = fresh.parse(body, true);
        }
    } else {
        CMapHeader header;
        if (!ReadMapHeader(lines, header, result.description)) {
            result.status = CMapLoadResult::Status::BadHeader;
            return result;
        }
        const std::string body = JoinWithoutLineEnds(lines, 6);
        fresh.create(header.width, header.height, kUnsetTerrain);
        result.body = fresh.parse(body, true);
        fresh.updatelatlong(header.minLat, header.maxLat, header.minLng, header.maxLng);
        fresh.updatevelocitymatrix(header.velocityLine);
    }
    if (!result.body) {
        result.status = CMapLoadResult::Status::BadBody;
        result.description = Format("map rows, character %zu: %s", result.body.offset + 1,
                                    result.body.description.c_str());
        return result;
    }
    map.TakeRasterFrom(fresh);
    return result;
}

} // namespace halyx

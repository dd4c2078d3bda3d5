#include "scenario/unitfiles.h"

#include "common/archive.h"
#include "common/format.h"
#include "common/xmlescape.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"

#include <algorithm>

namespace halyx {

namespace {

// The fewest bytes one record can take: seven empty strings, or six doubles and three empty
// strings. Used to size the list before reading, never to trust the count.
template <class T> constexpr size_t kMinRecordSize = 7;
template <> constexpr size_t kMinRecordSize<CInterceptor> = 6 * 8 + 3;

size_t StringSize(const std::string& text) {
    const size_t n = text.size();
    return n + (n < 0xFF ? 1 : n < 0xFFFE ? 3 : 7);
}

// Exact record sizes, so that a large list is written into one buffer without regrowing it.
size_t RecordSize(const CIncursion& u) {
    return StringSize(u.GetHeading()) + StringSize(u.GetId()) + StringSize(u.GetLat()) +
           StringSize(u.GetLng()) + StringSize(u.GetName()) + StringSize(u.GetSpeed()) +
           StringSize(u.GetTime());
}
size_t RecordSize(const CRadar& u) {
    return StringSize(u.GetId()) + StringSize(u.GetLat()) + StringSize(u.GetLng()) +
           StringSize(u.GetLife()) + StringSize(u.GetName()) + StringSize(u.GetOwner()) +
           StringSize(u.GetRange());
}
size_t RecordSize(const CInterceptor& u) {
    return 6 * 8 + StringSize(u.GetId()) + StringSize(u.GetName()) + StringSize(u.GetScope());
}

} // namespace

template <class T> void WriteUnits(CArchiveWriter& archive, const CUnitList<T>& list) {
    archive.WriteI32(list.Count());
    for (const T& unit : list) {
        unit.Serialize(archive);
    }
}

template <class T> void ReadUnits(CArchiveReader& archive, CUnitList<T>& list) {
    list.ClearQuietly();
    // Observers hear of the new contents however the read ends.
    struct ResetOnExit {
        CUnitList<T>& list;
        ~ResetOnExit() { list.NotifyReset(); }
    } reset{list};

    const size_t countOffset = archive.Offset();
    const int32_t count = archive.ReadI32("a unit count");
    if (count < 0) {
        archive.Fail(countOffset, Format("a unit count of 0 or more, found %d", count));
    }
    // A unit in memory takes a few hundred bytes however few it takes on file (seven bytes
    // when its texts are empty): a bound on the count keeps a hostile file from costing many
    // times its size.
    if (count > kMaxUnitsPerFile) {
        archive.Fail(countOffset,
                     Format("at most %d units in a unit file, found %d", kMaxUnitsPerFile, count));
    }
    // Reserve only what the remaining bytes can hold: a hostile count allocates nothing extra.
    list.Reserve(
        std::min<size_t>(static_cast<size_t>(count), archive.Remaining() / kMinRecordSize<T>));
    const std::string className(T::kClassName);
    for (int32_t i = 0; i < count; ++i) {
        auto unit = std::make_unique<T>();
        try {
            unit->Serialize(archive);
        } catch (const ArchiveError& error) {
            throw ArchiveError(error.File(), error.Offset(),
                               Format("%s (record %d of %d, a %s)", error.Expected().c_str(), i + 1,
                                      count, className.c_str()));
        }
        list.AddQuietly(std::move(unit));
    }
}

template <class T> std::vector<uint8_t> UnitFileBytes(const CUnitList<T>& list) {
    size_t size = 4;
    for (const T& unit : list) {
        size += RecordSize(unit);
    }
    CArchiveWriter archive;
    archive.Reserve(size);
    WriteUnits(archive, list);
    return archive.TakeBytes();
}

template <class T>
void ReadUnitFileBytes(std::span<const uint8_t> bytes, CUnitList<T>& list,
                       const std::string& fileName) {
    CArchiveReader archive(bytes, fileName);
    ReadUnits(archive, list);
}

template <class T> int WriteUnitFile(const std::string& path, const CUnitList<T>& list) {
    const std::vector<uint8_t> bytes = UnitFileBytes(list);
    return WriteFileBytes(path, bytes);
}

template <class T> int ReadUnitFile(const std::string& path, CUnitList<T>& list) {
    std::vector<uint8_t> bytes;
    if (const int code = ReadFileBytes(path, bytes); code != 0) {
        return code;
    }
    ReadUnitFileBytes<T>(bytes, list, path);
    return 0;
}

#define HALYX_UNIT_FILE_FUNCTIONS(T)                                                               \
    template void WriteUnits<T>(CArchiveWriter&, const CUnitList<T>&);                             \
    template void ReadUnits<T>(CArchiveReader&, CUnitList<T>&);                                    \
    template std::vector<uint8_t> UnitFileBytes<T>(const CUnitList<T>&);                           \
    template void ReadUnitFileBytes<T>(std::span<const uint8_t>, CUnitList<T>&,                    \
                                       const std::string&);                                        \
    template int WriteUnitFile<T>(const std::string&, const CUnitList<T>&);                        \
    template int ReadUnitFile<T>(const std::string&, CUnitList<T>&);

HALYX_UNIT_FILE_FUNCTIONS(CIncursion)
HALYX_UNIT_FILE_FUNCTIONS(CRadar)
HALYX_UNIT_FILE_FUNCTIONS(CInterceptor)

#undef HALYX_UNIT_FILE_FUNCTIONS

void AppendXmlAttribute(std::string& out, const char* name, std::string_view value) {
    out += ' ';
    out += name;
    out += "=\"";
    AppendXmlEscaped(out, value);
    out += '"';
}

std::string CUnitXmlFields::Text(const char* name) {
    const pugi::xml_attribute attribute = m_element.attribute(name);
    if (!attribute) {
        m_complete = false;
        return {};
    }
    return attribute.value();
}

} // namespace halyx

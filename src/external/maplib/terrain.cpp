#include "external/maplib/terrain.h"

#include "common/archive.h"

namespace halyx {

std::string CTerrain::GetCodeStr() const {
    return std::to_string(m_code);
}

void CTerrain::Serialize(CArchiveWriter& out) const {
    out.WriteString(m_name);
    out.WriteString(m_style);
    out.WriteU8(m_code);
    out.WriteU32(m_colour);
}

void CTerrain::Serialize(CArchiveReader& in) {
    m_name = in.ReadString("a terrain name");
    m_style = in.ReadString("a terrain style");
    m_code = in.ReadU8("a terrain code");
    m_colour = in.ReadU32("a terrain colour");
}

} // namespace halyx

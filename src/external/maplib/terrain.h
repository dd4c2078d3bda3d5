#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace halyx {

class CArchiveReader;
class CArchiveWriter;

// Packs a colour the way terrain records keep it: red in the low byte, then green, then blue.
inline constexpr uint32_t MakeRgb(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint32_t>(red) | (static_cast<uint32_t>(green) << 8) |
           (static_cast<uint32_t>(blue) << 16);
}
inline constexpr uint8_t RedOf(uint32_t rgb) {
    return static_cast<uint8_t>(rgb & 0xFF);
}
inline constexpr uint8_t GreenOf(uint32_t rgb) {
    return static_cast<uint8_t>((rgb >> 8) & 0xFF);
}
inline constexpr uint8_t BlueOf(uint32_t rgb) {
    return static_cast<uint8_t>((rgb >> 16) & 0xFF);
}

// One terrain colour code: the byte that a map pixel holds, what it is called and how it is drawn.
class CTerrain {
public:
    // The class name under which terrain records are tagged in archives.
    static constexpr const char* kClassName = "CTerrain";

    CTerrain() = default;
    CTerrain(std::string name, std::string style, uint8_t code, uint32_t colour)
        : m_name(std::move(name)), m_style(std::move(style)), m_code(code), m_colour(colour) {}

    uint8_t code() const { return m_code; }
    void code(uint8_t value) { m_code = value; }
    const std::string& name() const { return m_name; }
    void name(std::string value) { m_name = std::move(value); }
    const std::string& style() const { return m_style; }
    void style(std::string value) { m_style = std::move(value); }
    uint32_t colour() const { return m_colour; }
    void colour(uint32_t rgb) { m_colour = rgb; }

    std::string GetStyleStr() const { return m_style; }
    // The code as a decimal number ("35"), the form the stations receive.
    std::string GetCodeStr() const;

    // The record's own data in archives: name, style (strings), code (byte), colour (32 bits).
    void Serialize(CArchiveWriter& out) const;
    void Serialize(CArchiveReader& in);

    bool operator==(const CTerrain&) const = default;

private:
    std::string m_name;
    std::string m_style;
    uint8_t m_code = 0;
    uint32_t m_colour = 0;
};

// The terrain table, keyed by code; iterated in ascending code order.
using CTerrainTable = std::map<uint8_t, CTerrain>;

} // namespace halyx

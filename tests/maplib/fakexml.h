#pragma once

#include "external/maplib/xmlelement.h"

#include <map>
#include <string>
#include <vector>

namespace halyx::test {

// A hand-built element tree, so that the line readers can be tested without an XML parser.
struct FakeElement : IXmlElement {
    std::string name;
    std::map<std::string, std::string, std::less<>> attributes;
    std::vector<FakeElement> children;

    FakeElement(std::string n, std::map<std::string, std::string, std::less<>> a = {},
                std::vector<FakeElement> c = {})
        : name(std::move(n)), attributes(std::move(a)), children(std::move(c)) {}

    std::string_view LocalName() const override { return name; }
    std::optional<std::string_view> Attribute(std::string_view key) const override {
        const auto it = attributes.find(key);
        if (it == attributes.end()) {
            return std::nullopt;
        }
        return std::string_view(it->second);
    }
    void ForEachChild(const std::function<void(const IXmlElement&)>& visit) const override {
        for (const FakeElement& child : children) {
            visit(child);
        }
    }
};

inline FakeElement Point(const std::string& lat, const std::string& lng) {
    return FakeElement("Point", {{"Lat", lat}, {"Lng", lng}});
}

} // namespace halyx::test

#pragma once

#include <functional>
#include <optional>
#include <string_view>

namespace halyx {

// The little of an XML element that the line readers need. The map library knows no XML parser;
// whoever parsed the document hands its elements over through this interface.
class IXmlElement {
public:
    virtual ~IXmlElement() = default;
    // The name without a namespace prefix.
    virtual std::string_view LocalName() const = 0;
    // The attribute's value, or nothing when the element has no such attribute.
    virtual std::optional<std::string_view> Attribute(std::string_view name) const = 0;
    // Calls visit for each child element in document order (text and comments are skipped).
    virtual void ForEachChild(const std::function<void(const IXmlElement&)>& visit) const = 0;
};

} // namespace halyx

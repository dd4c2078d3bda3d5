#pragma once

#include "external/maplib/latlng.h"

#include <string>

namespace halyx {

class CArchiveReader;
class CArchiveWriter;
class IXmlElement;

// The northern and southern instantaneous impact lines: two ordered point lists that bound the
// range's safety zone.
class CImpactLines {
public:
    const CLatLngList& GetNLine() const { return m_north; }
    const CLatLngList& GetSLine() const { return m_south; }
    int GetNLineCt() const { return static_cast<int>(m_north.size()); }
    int GetSLineCt() const { return static_cast<int>(m_south.size()); }
    void AddNLinePoint(double lat, double lng) { m_north.emplace_back(lat, lng); }
    void AddSLinePoint(double lat, double lng) { m_south.emplace_back(lat, lng); }
    void RemoveNLine() { m_north.clear(); }
    void RemoveSLine() { m_south.clear(); }

    // "<ImpactLines>\n<NLine>\n" points "</NLine>\n<SLine>\n" points "</SLine>\n</ImpactLines>",
    // each point "<Point Lat=\"%f\" Lng=\"%f\"/>\n"; no newline after the closing tag.
    std::string ToXML() const;
    // "tell :nline (" northern list ") :sline (" southern list ")", each list
    // "tell :number %d" followed by " :%d (tell :lat %f :lon %f)" per point.
    std::string ToKQML() const;

    // Reads the element that ToXML writes. Both lines are replaced only when the whole element
    // reads; a Point without Lat or Lng, or an element of another name, leaves them unchanged
    // and answers false. Unknown children are skipped.
    bool IILFromXML(const IXmlElement& element);

    // Archive form: the northern list, then the southern list (see WritePointList).
    void Serialize(CArchiveWriter& out) const;
    void Serialize(CArchiveReader& in);

    bool operator==(const CImpactLines&) const = default;

private:
    CLatLngList m_north;
    CLatLngList m_south;
};

// Reads the Point children of a list element; false when one lacks Lat or Lng.
bool ReadPointElements(const IXmlElement& list, CLatLngList& points);

} // namespace halyx

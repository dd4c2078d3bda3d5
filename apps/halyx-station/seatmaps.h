#pragma once

// The seats' maps. Each map address the console names is read once per program (the MAP line);
// for the web seats the map is then drawn by the project's map drawing (the editor's and the
// mission picture's) in the console's terrain colours, once per map and colours, on a worker
// thread, into a PNG that the page lays under its units.
//
//   CSeatMaps maps(Print, true);
//   seatOptions.fetchMap = [&maps](const std::string& a) { return maps.Fetch(a); };
//   maps.SetReady([&] { republish every seat; });
//   if (const CSeatMapPicture* p = maps.Get(state.mapAddress, state.terrain)) serve p->png;

#include "external/maplib/terrain.h"

#include <QByteArray>

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace halyx {

struct CSeatMapPicture {
    std::string version; // changes with the map text and its colours (a page's cache key)
    QByteArray png;
    int width = 0;
    int height = 0;
    // The map coordinates the picture covers: latitude left to right, longitude bottom to top.
    double minLat = 0.0;
    double maxLat = 0.0;
    double minLng = 0.0;
    double maxLng = 0.0;
};

class CSeatMaps {
public:
    using LineSink = std::function<void(const std::string& line)>;

    // The picture's longer side at most; a small map is drawn at a whole zoom up to it.
    static constexpr int kMaxSide = 2048;
    // Map texts and pictures kept; an older one is read or drawn again when it is named again.
    static constexpr std::size_t kKept = 8;

    // pictures: whether map texts are kept for drawing (only web seats need them).
    CSeatMaps(LineSink out, bool pictures);
    ~CSeatMaps();

    // A seat's fetchMap: reads the address once; "" when it holds map data, else what is wrong.
    std::string Fetch(const std::string& address);
    // The picture of the map at address in terrain's colours, or nullptr while it is being drawn
    // (started by the first ask; ready is called when it is done) or when it cannot be drawn.
    const CSeatMapPicture* Get(const std::string& address, const CTerrainTable& terrain);
    void SetReady(std::function<void()> ready) { m_ready = std::move(ready); }
    // Counts the pictures finished, so that a seat's state can change with them.
    std::uint64_t Revision() const { return m_revision; }

    // Draws a map text (any thread); on failure an empty png and error says why.
    static CSeatMapPicture Draw(const std::string& text, const CTerrainTable& terrain, int maxSide,
                                std::string& error);

private:
    struct Fetched {
        std::string error;
        std::shared_ptr<const std::string> text;
    };
    struct Drawing;

    LineSink m_out;
    bool m_pictures;
    std::map<std::string, Fetched> m_fetched;
    std::deque<std::string> m_textOrder; // addresses whose text is kept, oldest first
    std::map<std::string, std::unique_ptr<Drawing>> m_drawn; // by address and colours
    std::deque<std::string> m_drawnOrder;
    std::function<void()> m_ready;
    std::uint64_t m_revision = 0;
};

} // namespace halyx

// Two subjects and a bot play a mission: ALPHA and BRAVO are web seats in headless Chromium,
// CHARLIE a bot, all three in one station program against the real console. What a subject
// clicks lands in the log once with the seat's values, the teammate's page shows it within a
// second, a reload brings the seat back without sending an action twice, markup in a chat line
// stays text, a closed browser shows at the console as away, and the decision follows the
// seats' last go/no-go. A freeze covers both pages with its questions and holds the clock until
// both subjects answered; a workload rating waits beside the map; the questionnaire at the end
// covers the page with its sliders and pairs; each answer is logged once with the console's truth
// and score. The seat's map picture is served to its key only; a
// balloon's weather and a bot teammate's answer to a request show on the page, each logged once.
// The observer page, never reloaded, follows the minute and marks ALPHA's deploy from the live
// stream.
// Without Chromium the test ends with status 77 (skipped).
#include "browser.h"
#include "e2eutil.h"

#include <QStandardPaths>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>

namespace halyx {
namespace {

using namespace e2e;

// Page helpers: the seat's own first interceptor, a synthesized click at a map point, and the
// chat text of the page.
constexpr const char* kHelpers = R"JS(
window.t = {
  own: () => halyxState.interceptors.find((i) => i.owner === halyxState.seat),
  button: (text) => [...document.querySelectorAll('button')].find((b) => b.textContent.startsWith(text)),
  key: (k) => document.dispatchEvent(new KeyboardEvent('keydown', { key: k, bubbles: true })),
  clickMap: (lat, lng) => {
    const svg = document.querySelector('#map svg');
    const p = new DOMPoint(lat, -lng).matrixTransform(svg.getScreenCTM());
    for (const type of ['pointerdown', 'pointerup']) {
      svg.dispatchEvent(new PointerEvent(type, { clientX: p.x, clientY: p.y, bubbles: true }));
    }
  },
  chat: () => document.querySelector('#chat .lines').textContent,
  say: (text) => {
    document.querySelector('#chat input').value = text;
    document.querySelector('#chat form').requestSubmit();
  },
  // The actions the page posted; a key typed into a field.
  sent: [],
  keyOn: (node, k) => node.dispatchEvent(new KeyboardEvent('keydown', { key: k, bubbles: true })),
  // Frozen: the cover holds the freeze's questions and is what lies over the map's middle.
  frozen: (c = document.getElementById('cover'), m = document.getElementById('map').getBoundingClientRect()) =>
    !!c.querySelector('[data-probe="freeze-20"]') && getComputedStyle(c).backgroundColor.startsWith('rgb(') &&
    c.contains(document.elementFromPoint(m.x + m.width / 2, m.y + m.height / 2)),
  field: (q, input) => document.querySelector(`[data-probe] [data-question="${q}"] ${input}`),
  fill: (minute, zone, plan) => {
    t.field('minute', 'input').value = minute;
    t.field('zone', `input[value="${zone}"]`).click();
    t.keyOn(Object.assign(t.field('plan', 'input'), { value: plan }), 'n');
  },
  submit: () => document.querySelector('[data-probe] .submit').click(),
  post: (body) => fetch('/seat/' + halyxState.seat + '/act' + location.search,
    { method: 'POST', body }).then((r) => r.json()).then((j) => `${j.ok} ${j.reason}`),
};
{ const f = window.fetch; window.fetch = (u, o) => { if (o && o.body) t.sent.push(o.body); return f(u, o); }; }
'ok'
)JS";

class WebSeats : public ProgramsTest {
protected:
    static void SetUpTestSuite() { TestApp("test_e2e_web_seats"); }
    void SetUp() override {
        m_browser = QStandardPaths::findExecutable("chromium").toStdString();
        if (m_browser.empty()) {
            std::printf("SKIPPED: chromium is not installed\n");
            std::fflush(stdout);
            std::_Exit(77);
        }
        ProgramsTest::SetUp();
    }
    // Waits until the page's expression is "true"; false after ms.
    static bool Until(CBrowserPage& page, const std::string& expression, int ms = 20000) {
        return Spin([&] { return page.Evaluate("String(!!(" + expression + "))") == "true"; }, ms);
    }
    std::string m_browser;
};

// The log's events of one kind from one station, in order.
std::vector<pugi::xml_node> Events(const pugi::xml_document& log, const char* name,
                                   const std::string& from) {
    std::vector<pugi::xml_node> out;
    for (const pugi::xpath_node& n :
         log.select_nodes((std::string("//Event[@Name='") + name + "']").c_str())) {
        if (from.empty() || n.node().attribute("From").value() == from) {
            out.push_back(n.node());
        }
    }
    return out;
}

// A freeze early in the mission, a workload rating at minute 240 and the questionnaire at the end.
constexpr const char* kPlan =
    "kind,minute,seconds,id,text,answer,choices\n"
    "freeze,20,120,minute,What minute is it?,number:minute,\n"
    "freeze,20,120,zone,Do you stand between the impact lines?,choice:inside_lines,yes|no\n"
    "freeze,20,120,plan,What will you do next?,text,\n"
    "rating,240,90,,,,\n"
    "questionnaire,,10,,,,pairs\n";

TEST_F(WebSeats, TwoSubjectsAndABotPlayAMission) {
    std::ofstream(home + "probes.csv") << kPlan;
    QString ans;
    processes.push_back(StartAns(home, ans));
    ASSERT_FALSE(ans.isEmpty());
    Start("halyx-station",
          {"--seat", "ALPHA=web", "--seat", "BRAVO=web", "--seat", "CHARLIE=bot", "--ans", ans,
           "--no-echo", "--web-port", "0"},
          home + "station.out");
    const std::string alphaLine = WaitForLine(home + "station.out", "SEAT ALPHA http://");
    const std::string bravoLine = WaitForLine(home + "station.out", "SEAT BRAVO http://");
    ASSERT_FALSE(bravoLine.empty()) << ReadFile(home + "station.out");
    QProcess* console = Start(
        "halyx-command",
        {"--headless", "-", "--ans", ans, "--no-embedded-ans", "--tick-ms", "120", "--observer"},
        home + "console.out");
    Send(console, "register\nwait agents 3 timeout=60\nadd ALPHA BRAVO CHARLIE\nprobes " + home +
                      "probes.csv\ninit name=Web folder=" + home +
                      "logs\nwait initialized timeout=60\n");

    // The pages are up before the start, so that both see the freeze at minute 20.
    CBrowserPage alpha;
    CBrowserPage bravo;
    ASSERT_TRUE(OpenInBrowser(processes, m_browser, alphaLine.substr(11), home + "a", alpha));
    ASSERT_TRUE(OpenInBrowser(processes, m_browser, bravoLine.substr(11), home + "b", bravo));
    QProcess* bravoBrowser = processes.back().get();
    for (CBrowserPage* page : {&alpha, &bravo}) {
        ASSERT_TRUE(Until(*page, "window.halyxState && halyxState.phase === 'initialized'", 60000))
            << ReadFile(home + "console.out");
    }
    Send(console, "start\n");
    for (CBrowserPage* page : {&alpha, &bravo}) {
        ASSERT_TRUE(Until(*page, "window.halyxState && halyxState.phase === 'running'", 60000))
            << ReadFile(home + "console.out");
        ASSERT_EQ(page->Evaluate(kHelpers), "ok");
    }
    // The observer's address names this machine's network address; the test stays on loopback.
    std::smatch found;
    const std::string observed = WaitForLine(home + "console.out", "OBSERVER http://");
    ASSERT_TRUE(std::regex_search(observed, found, std::regex(R"(:(\d+)/live\?key=[0-9a-f]{32}$)")))
        << observed;
    CBrowserPage observer;
    ASSERT_TRUE(OpenInBrowser(processes, m_browser,
                              "http://127.0.0.1" + observed.substr(found.position(0)), home + "o",
                              observer));
    const std::string minuteOf = "+document.getElementById('minute').textContent";
    ASSERT_TRUE(Until(observer, minuteOf + " >= 1", 30000));
    const std::string firstMinute = observer.Evaluate("String(" + minuteOf + ")");

    // The freeze covers both pages. ALPHA answers the minute right, BRAVO wrong; a key typed
    // into an answer is no shortcut. The clock holds while BRAVO has not answered.
    for (CBrowserPage* page : {&alpha, &bravo}) {
        ASSERT_TRUE(Until(*page, "t.frozen()", 60000)) << ReadFile(home + "console.out");
    }
    EXPECT_EQ(alpha.Evaluate("String(JSON.stringify(halyxState.probes).includes('fact'))"),
              "false");
    alpha.Evaluate("t.fill('20', 'yes', 'hold <b>north</b>'); 'x'");
    bravo.Evaluate("t.fill('70', 'no', ''); 'x'");
    alpha.Evaluate("t.submit(); 'x'");
    ASSERT_TRUE(Until(alpha, "document.getElementById('cover').hidden"));
    // Sent again, the same action answers nothing more; BRAVO's malformed answers are refused.
    alpha.Evaluate("t.post(t.sent.find((b) => b.includes('\"probe\"'))).then((r) => { "
                   "window.posted = r; }); 'x'");
    bravo.Evaluate(R"JS(Promise.all(['{"nope":"1"}', '{"minute":"many"}'].map((a, i) => t.post(
      `{"id":"q${i}","kind":"probe","probe":"freeze-20","answers":${a}}`)))
      .then((r) => { window.posted = r.join(' / '); }); 'x')JS");
    ASSERT_TRUE(Until(alpha, "window.posted") && Until(bravo, "window.posted"));
    EXPECT_EQ(alpha.Evaluate("window.posted"), "true ");
    EXPECT_EQ(bravo.Evaluate("window.posted"), "false probe freeze-20 has no question nope / "
                                               "false the answer to minute is not a number");
    Spin([] { return false; }, 1000);
    EXPECT_EQ(alpha.Evaluate("String(halyxState.minute)"), "20");
    EXPECT_EQ(bravo.Evaluate("String(t.frozen())"), "true");
    bravo.Evaluate("t.submit(); t.submit(); 'x'"); // the second press sends it with a blank
    ASSERT_TRUE(Until(alpha, "halyxState.minute > 20"));
    const char* noGo = "String(t.sent.some((b) => b.includes('gonogo')))";
    EXPECT_EQ(alpha.Evaluate(noGo) + bravo.Evaluate(noGo), "falsefalse");
    // The seat's door: its own key only, bounded and well-formed actions (a connection closed
    // before the answer counts as 0). The seat's map picture, drawn from its map, lies under it.
    alpha.Evaluate(R"JS(const post = (body) => fetch('/seat/ALPHA/act' + location.search,
        { method: 'POST', body }).catch(() => ({ status: 0 }));
      Promise.all([fetch('/seat/ALPHA'), fetch('/seat/ALPHA?key=0'),
        fetch('/seat/BRAVO' + location.search), post('x'.repeat(5000)), post('{"kind":"abort"}'),
        post('{"id":"z","kind":"fly"}').then((r) => r.json()).then((j) => ({ status: j.reason })),
        fetch('/seat/ALPHA/map.png'), fetch(document.querySelector('#map image').href.baseVal)
          .then((r) => r.blob()).then((b) => ({ status: `${b.type} ${b.size > 2000}` }))])
      .then((r) => { window.codes = r.map((x) => x.status).join(' '); }); 'x')JS");
    ASSERT_TRUE(Until(alpha, "window.codes"));
    EXPECT_THAT(
        alpha.Evaluate("window.codes"),
        ::testing::MatchesRegex("403 403 403 (413|0) 400 unknown action 403 image/png true"));
    // A second browser on ALPHA's seat is refused while the first holds it.
    CBrowserPage intruder;
    ASSERT_TRUE(OpenInBrowser(processes, m_browser, alphaLine.substr(11), home + "c", intruder));
    EXPECT_TRUE(Until(intruder,
                      "document.getElementById('banner').textContent === 'Seat ALPHA is open in "
                      "another browser'"));
    processes.back()->kill();

    // Activate and deploy ALPHA's first interceptor by clicks.
    const std::string unit = alpha.Evaluate("t.own().id");
    ASSERT_FALSE(unit.empty());
    alpha.Evaluate("document.querySelector('[data-unit=\"" + unit + "\"]').click(); 'x'");
    alpha.Evaluate("t.button('Activate').click(); 'x'");
    ASSERT_TRUE(Until(alpha, "t.own().active"));
    const std::string dest =
        alpha.Evaluate("const u = t.own(); t.key('d'); t.clickMap(u.homeLat + 12, u.homeLng + 9); "
                       "`${u.homeLat + 12} ${u.homeLng + 9}`");
    ASSERT_TRUE(Until(alpha, "t.own().moving"));
    // BRAVO's page shows the deploy within a second.
    EXPECT_TRUE(Until(
        bravo, "halyxState.interceptors.some((i) => i.id === '" + unit + "' && i.moving)", 1000));
    EXPECT_TRUE(Until(observer,
                      "[...document.querySelectorAll('#marks [data-command=\"deploy\"] "
                      "title')].some((t) => t.textContent.startsWith('ALPHA: deploy'))",
                      10000));
    EXPECT_TRUE(Until(observer, minuteOf + " > " + firstMinute +
                                    " + 1 && document.getElementById("
                                    "'connection').textContent === 'live'"));

    // Chat with markup: text in BRAVO's page, nothing run.
    const std::string markup =
        "<script>window.hit=1</script><img src=x onerror=\"window.hit=2\"> & co";
    alpha.Evaluate("t.say(" +
                   QJsonDocument(QJsonArray{QString::fromStdString(markup)})
                       .toJson(QJsonDocument::Compact)
                       .mid(1)
                       .chopped(1)
                       .toStdString() +
                   "); 'x'");
    EXPECT_TRUE(Until(bravo, "t.chat().includes('& co')", 1000)) << bravo.Evaluate("t.chat()");
    EXPECT_EQ(bravo.Evaluate("String(window.hit) + document.querySelectorAll('#chat img').length"),
              "undefined0");

    // Go/no-go: BRAVO no-go, then go; ALPHA go.
    bravo.Evaluate("t.key('n'); 'x'");
    ASSERT_TRUE(Until(bravo, "halyxState.goNoGo.BRAVO === 'nogo'"));
    bravo.Evaluate("t.key('g'); 'x'");
    alpha.Evaluate("t.key('g'); 'x'");
    ASSERT_TRUE(
        Until(alpha, "halyxState.goNoGo.ALPHA === 'go' && halyxState.goNoGo.BRAVO === 'go'"));

    // A balloon rises where ALPHA clicks and its weather shows; asked for an interceptor
    // against an incursion ALPHA sees, CHARLIE (a bot) answers on ALPHA's page.
    alpha.Evaluate("t.key('b'); 'x'");
    alpha.Evaluate("t.clickMap(564, 325); 'x'");
    const std::string side = "document.getElementById('units').textContent";
    EXPECT_TRUE(Until(alpha, "/ALPHA balloon .*: (wind|no data)/.test(" + side + ")"));
    ASSERT_TRUE(Until(alpha, "halyxState.incursions.some((n) => !n.intercepted)"));
    alpha.Evaluate(R"JS(const pick = (q) => document.querySelector('#units ' + q).click();
      pick(`[data-unit="${halyxState.interceptors.find((i) => i.owner === 'CHARLIE').id}"]`);
      pick(`[data-incursion="${halyxState.incursions.find((n) => !n.intercepted).id}"]`);
      t.button('Request').click(); 'x')JS");
    EXPECT_TRUE(Until(alpha, "/You asked CHARLIE .*: (accepted|refused)/.test(" + side + ")"));
    // A chat line whose answer never reaches the page stays pending; the reload sends it again,
    // and the seat answers it without saying it twice.
    const std::string before = alpha.Evaluate("JSON.stringify(halyxState.chat)");
    alpha.Evaluate("const f = window.fetch; window.fetch = (...a) => f(...a).then(() => new "
                   "Promise(() => {})); t.say('only once'); 'x'");
    ASSERT_TRUE(Until(bravo, "t.chat().includes('only once')"));
    alpha.Evaluate("window.old = 1; 'x'");
    alpha.Call("Page.reload", {});
    ASSERT_TRUE(Until(alpha, "!window.old && window.halyxState && halyxState.chat.length > 0"));
    ASSERT_EQ(alpha.Evaluate(kHelpers), "ok");
    EXPECT_TRUE(Until(alpha, "sessionStorage.getItem('halyx-pending-ALPHA') === '[]'"));
    EXPECT_TRUE(Until(alpha, "JSON.stringify(halyxState.chat).startsWith(" +
                                 QJsonDocument(QJsonArray{QString::fromStdString(
                                                   before.substr(0, before.size() - 1))})
                                     .toJson(QJsonDocument::Compact)
                                     .mid(1)
                                     .chopped(1)
                                     .toStdString() +
                                 ")"));
    EXPECT_EQ(alpha.Evaluate("String(t.own().moving)"), "true");

    // The rating at minute 240 waits beside the map, which stays in view; a key on it is no
    // shortcut (N would report no-go).
    ASSERT_TRUE(Until(alpha,
                      "document.querySelector('#questions [data-probe=\"rating-240\"]') && "
                      "document.getElementById('cover').hidden",
                      90000));
    alpha.Evaluate("const b = document.querySelector('#questions [data-value=\"4\"]'); "
                   "b.click(); t.keyOn(b, 'n'); t.submit(); 'x'");
    ASSERT_TRUE(Until(alpha, "!document.querySelector('#questions [data-probe]')"));
    EXPECT_EQ(alpha.Evaluate(noGo), "false");

    // BRAVO's browser closes: the console shows the subject away.
    bravoBrowser->kill();
    EXPECT_FALSE(WaitForLine(home + "console.out", "SEAT BRAVO away", 20000).empty());

    Send(console, "wait end timeout=300\nwait quiet 500 timeout=60\nquit\n");
    // The questionnaire covers the page at the end: ALPHA moves every slider and chooses in every
    // pair; BRAVO's part ends when its time is up.
    const std::string card = "document.querySelector('#cover [data-probe=\"questionnaire\"]')";
    ASSERT_TRUE(Until(alpha, card, 300000)) << ReadFile(home + "console.out");
    alpha.Evaluate(R"JS(for (const r of document.querySelectorAll('#cover input[type=range]')) {
        r.value = 60; r.dispatchEvent(new Event('input')); }
      for (const c of document.querySelectorAll('#cover .choices')) c.querySelector('input').click();
      document.querySelector('#cover .submit').click(); 'x')JS");
    EXPECT_TRUE(Until(alpha, "!" + card));
    ASSERT_TRUE(console->waitForFinished(330000)) << ReadFile(home + "console.out");
    pugi::xml_document log;
    ASSERT_TRUE(log.load_file((home + "logs/Web.xml").c_str()));
    const auto deploys = Events(log, "DeployResource", "ALPHA");
    ASSERT_FALSE(deploys.empty());
    EXPECT_EQ(deploys.front().attribute("ResID").value(), unit);
    double lat = 0;
    double lng = 0;
    ASSERT_EQ(std::sscanf(dest.c_str(), "%lf %lf", &lat, &lng), 2);
    EXPECT_NEAR(ReadNumber(deploys.front().attribute("DestLat").value()), lat, 0.5);
    EXPECT_NEAR(ReadNumber(deploys.front().attribute("DestLng").value()), lng, 0.5);
    int once = 0;
    int markups = 0;
    for (const pugi::xml_node& chat : Events(log, "ChatMsg", "ALPHA")) {
        once += std::string(chat.child_value()).find("only once") != std::string::npos;
        markups += std::string(chat.child_value()).find("onerror") != std::string::npos;
    }
    EXPECT_EQ(once, 1);
    EXPECT_EQ(markups, 1);
    for (const char* once : {"DeployBalloon", "WeatherQuery", "ResourceRequest"}) {
        EXPECT_EQ(Events(log, once, "ALPHA").size(), 1u) << once;
    }
    std::map<std::string, std::string> last;
    for (const pugi::xml_node& status : Events(log, "LaunchStatusChange", "")) {
        last[status.attribute("From").value()] = status.attribute("Status").value();
    }
    const bool launch = last["ALPHA"] == "go" && last["BRAVO"] == "go" && last["CHARLIE"] == "go";
    const auto complete = Events(log, "SimulationComplete", "");
    ASSERT_EQ(complete.size(), 1u);
    EXPECT_EQ(std::string(complete.front().attribute("LaunchStatus").value()),
              launch ? "Launch" : "NoLaunch");
    EXPECT_TRUE(Until(alpha, std::string("document.querySelector('header .phase').textContent === "
                                         "'Mission complete: ") +
                                 (launch ? "Launch'" : "No Launch'")));
    EXPECT_NE(ReadFile(home + "logs/Web.xml").find("subject at BRAVO away"), std::string::npos);

    // Each subject's answers, once each, with the console's truth and score.
    ASSERT_TRUE(Start("halyx-log",
                      {"csv", QString::fromStdString(home + "logs/Web.xml"), "-o",
                       QString::fromStdString(home + "csv")},
                      home + "csv.out")
                    ->waitForFinished(60000));
    // Rows: ...,seat,question,text,answer,answered,truth,score,ms.
    const std::string rows = ReadFile(home + "csv/probes.csv");
    const auto count = [](const char* row, const std::string& text) {
        const std::regex pattern(row);
        return std::distance(std::sregex_iterator(text.begin(), text.end(), pattern),
                             std::sregex_iterator());
    };
    EXPECT_EQ(count(",freeze,ALPHA,", rows), 3) << rows;
    EXPECT_EQ(count(",freeze,BRAVO,", rows), 3);
    EXPECT_EQ(count(",ALPHA,minute,[^,]*,20,1,20,1,", rows), 1);
    EXPECT_EQ(count(",BRAVO,minute,[^,]*,70,1,20,0,", rows), 1);
    EXPECT_EQ(count(",ALPHA,plan,[^,]*,hold <b>north</b>,1,,,", rows), 1);
    EXPECT_EQ(count(",zone,[^,]*,(yes,1,yes,1|no,1,no,1|yes,1,no,0|no,1,yes,0),", rows), 3);
    // Rows: ...,seat,item,answer,answered,ms; 21 each (six scales, fifteen pairs).
    const std::string questionnaire = ReadFile(home + "csv/questionnaire.csv");
    EXPECT_EQ(count(",ALPHA,[^,]+,[^,]+,1,", questionnaire), 21) << questionnaire;
    EXPECT_EQ(count(",ALPHA,[^,]+,60,1,", questionnaire), 6);
    EXPECT_EQ(count(",BRAVO,[^,]+,,0,", questionnaire), 21);
    EXPECT_THAT(ReadFile(home + "csv/ratings.csv"),
                ::testing::ContainsRegex(",240,[^\\n]*,ALPHA,4,1,"));
}

} // namespace
} // namespace halyx

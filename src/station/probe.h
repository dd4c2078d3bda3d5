#pragma once

// What a researcher asks the seats during a mission, and how the answers are scored: a probe is
// one set of questions sent at once (a freeze of the displays, questions asked in view, a
// workload rating, the questionnaire at the end). The console and the stations share these
// types and the messages that carry them (docs/protocol.md, "Measures").
//
//   std::string content = ProbeContent(probe);           // console -> every seat
//   std::optional<CProbe> p = ReadProbe(parsed, why);     // on the seat
//   std::string truth = ProbeTruth(world, "ALPHA", "own_contacts");
//   std::optional<int> score = ScoreAnswer(question, "3", truth);   // 1, 0, or none

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halyx {

class CParser;
class CStationSeat;

enum class ProbeKind { Freeze, InView, Rating, Questionnaire };
enum class AnswerKind { Choice, Number, Text };

struct CProbeQuestion {
    std::string id;
    std::string text;
    AnswerKind answer = AnswerKind::Text;
    std::vector<std::string> choices; // for a choice
    double low = 0.0;                 // for a number: the range and step a face offers
    double high = 0.0;                // (high <= low: any number)
    double step = 0.0;
    std::string fact;       // what is true, worked out by the station model ("" for none)
    double tolerance = 0.0; // a number within this of the truth scores 1
};

struct CProbe {
    std::string id;
    ProbeKind kind = ProbeKind::Freeze;
    int minute = 0;
    int seconds = 60; // time allowed to answer
    std::vector<CProbeQuestion> questions;
};

// One seat's answer to one question; "" is no answer.
using CProbeAnswers = std::vector<std::pair<std::string, std::string>>; // question id, answer

inline constexpr std::size_t kMaxProbeQuestions = 32;
inline constexpr std::size_t kMaxProbeTextBytes = 1000;

const char* ProbeKindName(ProbeKind kind);
std::optional<ProbeKind> ProbeKindOf(const std::string& name);
const char* AnswerKindName(AnswerKind kind);

// The facts the station model knows at a minute, for a seat. A name ending in ':' takes an
// argument (nearest_interceptor:N1, balloon_weather:windspeed).
const std::vector<std::string>& ProbeFacts();
bool KnownFact(const std::string& fact);
// The truth of fact for seat, from world's state at its minute; "" when it cannot be worked out.
std::string ProbeTruth(const CStationSeat& world, const std::string& seat, const std::string& fact);
// A number as truths and the wire carry it: '.' whatever the locale, at most six places, no
// trailing zeros.
std::string ProbeNumberText(double value);
// 1 when the answer matches the truth, 0 when not; none without a truth or without an answer.
std::optional<int> ScoreAnswer(const CProbeQuestion& question, const std::string& answer,
                               const std::string& truth);

// Built-in sets.
CProbe DefaultFreeze(int minute);
CProbe RatingProbe(int minute, int seconds);
CProbe QuestionnaireProbe(bool pairs, int seconds);

// --- messages ---
// Console -> seat: "tell :command probe :probeID ID :kind freeze :clock M :seconds S :count N
//                   :q1 (:id ID :answer number :text "..." [:choices "a|b"] [:fact F
//                        [:tolerance T]] [:low :high :step])"
std::string ProbeContent(const CProbe& probe);
std::optional<CProbe> ReadProbe(const CParser& content, std::string& why);
// Console -> seat: the probe is over for this seat (time up, or all answered).
std::string ProbeEndContent(const std::string& probeId);
// Seat -> console: "tell :command probe_answer :probeID ID :count N :a1 (:id ID :value V)"
std::string ProbeAnswerContent(const std::string& probeId, const CProbeAnswers& answers);
bool ReadProbeAnswer(const CParser& content, std::string& probeId, CProbeAnswers& answers);

} // namespace halyx

#include "tools/qrix-sim/HandshakeReport.h"

#include "tools/qrix-sim/BitSelection.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Fixed(double value, int decimals) {
    char text[64] = {};
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Value already rendered for JSON (numbers, booleans, quoted text).
struct Field {
    std::string Key;
    std::string Json;
    std::string Plain;
};

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string PerBitList(const HandshakeReport& report, std::uint64_t BitCounts::*member) {
    std::string text;
    for (unsigned bit = 0; bit < report.PerBit.size(); ++bit) {
        if ((report.Bits & (1u << bit)) == 0)
            continue;
        if (!text.empty())
            text += ',';
        text += std::to_string(bit) + ":" + std::to_string(report.PerBit[bit].*member);
    }
    return text;
}

std::string PerBitJson(const HandshakeReport& report, std::uint64_t BitCounts::*member) {
    std::string text = "{";
    for (unsigned bit = 0; bit < report.PerBit.size(); ++bit) {
        if ((report.Bits & (1u << bit)) == 0)
            continue;
        if (text.size() > 1)
            text += ",";
        text += Quoted(std::to_string(bit)) + ":" + std::to_string(report.PerBit[bit].*member);
    }
    return text + "}";
}

std::string BitArray(std::uint32_t mask) {
    return "[" + FormatBitList(mask) + "]";
}

Field Number(const std::string& key, const std::string& value) {
    return {key, value, value};
}
Field Bits(const std::string& key, std::uint32_t mask) {
    return {key, BitArray(mask), FormatBitList(mask)};
}
Field Flag(const std::string& key, bool value) {
    return {key, value ? "true" : "false", value ? "1" : "0"};
}

} // namespace

void WriteHandshakeReport(const HandshakeReport& report, bool json, std::ostream& out) {
    const std::vector<Field> fields{
        Bits("bits", report.Bits),
        Number("seed", std::to_string(report.Seed)),
        Number("toggles", std::to_string(report.Toggles)),
        Number("handshakes", std::to_string(report.Handshakes)),
        Number("elapsed_s", Fixed(report.ElapsedSeconds, 3)),
        Number("handshakes_per_s", Fixed(report.HandshakesPerSecond, 1)),
        Number("latency_p50_ms", Fixed(report.LatencyP50Ms, 3)),
        Number("latency_p99_ms", Fixed(report.LatencyP99Ms, 3)),
        Number("latency_max_ms", Fixed(report.LatencyMaxMs, 3)),
        Bits("never_acknowledged", report.NeverAcknowledged),
        Bits("out_of_step_at_start", report.OutOfStepAtStart),
        Bits("unexpected_acknowledge", report.UnexpectedAcknowledge),
        Flag("ack_copies_agree", report.AckCopiesAgree),
        Flag("interrupted", report.Interrupted),
        {"toggles_per_bit", PerBitJson(report, &BitCounts::Toggles), PerBitList(report, &BitCounts::Toggles)},
        {"acknowledged_per_bit", PerBitJson(report, &BitCounts::Acknowledged),
         PerBitList(report, &BitCounts::Acknowledged)},
        Flag("ok", report.Succeeded()),
    };
    if (!json) {
        for (const Field& field : fields)
            out << field.Key << '=' << field.Plain << '\n';
        out.flush();
        return;
    }
    out << '{';
    for (std::size_t i = 0; i < fields.size(); ++i)
        out << (i == 0 ? "" : ",") << Quoted(fields[i].Key) << ':' << fields[i].Json;
    out << "}\n";
    out.flush();
}

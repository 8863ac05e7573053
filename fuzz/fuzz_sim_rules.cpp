// Arbitrary text as a rule after --on, and as porteval-terminal-sim's arguments (one per line).
// A rule that is read must keep every count and time within its bounds and mean the same once
// written out again in the rule language; a mistake must be said.
#include "require.h"
#include "sim/sim_rules.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {
constexpr int kMaxMs = 600000;

QString stepText(const SimStep &step)
{
    QStringList words;
    if (step.kind == SimStep::Kind::Silent)
        words << u"silent"_s;
    else
        words << (step.code ? u"code=%1"_s.arg(*step.code) : u"answer"_s);
    if (step.data == SimStep::Data::Own)
        words << u"data"_s;
    else if (step.data == SimStep::Data::None)
        words << u"nodata"_s;
    else if (step.data == SimStep::Data::Given)
        words << u"data="_s + QString::fromLatin1(step.givenData.toHex());
    static const char *const faults[]
        = { "", "badcrc", "badheader", "longlen", "raw03", "rawcode", "vanish" };
    if (step.fault != SimStep::Fault::None)
        words << QLatin1String(faults[int(step.fault)]);
    if (step.chunks != 1)
        words << u"split=%1"_s.arg(step.chunks);
    if (step.chunkGapMs != 5)
        words << u"chunkgap=%1"_s.arg(step.chunkGapMs);
    if (step.gapMs >= 0)
        words << u"gap=%1"_s.arg(step.gapMs);
    return words.join(u' ');
}

// The rule in the words of --help.
QString ruleText(const SimRule &rule)
{
    QString match = u"%1"_s.arg(rule.code);
    if (rule.selector)
        match += u":%1"_s.arg(*rule.selector);
    if (rule.firstMatch != 1 || rule.lastMatch != 0) {
        match += u"#%1-"_s.arg(rule.firstMatch);
        if (rule.lastMatch != 0)
            match += QString::number(rule.lastMatch);
    }
    QStringList steps;
    for (const SimStep &step : rule.steps)
        steps << stepText(step);
    return match + u' ' + steps.join(u" then "_s);
}

void requireWithinBounds(const SimRule &rule)
{
    require(rule.firstMatch >= 1 && (rule.lastMatch == 0 || rule.lastMatch >= rule.firstMatch));
    require(!rule.steps.isEmpty());
    for (const SimStep &step : rule.steps) {
        require(step.chunks >= 1 && step.chunks <= 1000);
        require(step.chunkGapMs >= 0 && step.chunkGapMs <= kMaxMs);
        require(step.gapMs >= -1 && step.gapMs <= kMaxMs);
        require((step.data == SimStep::Data::Given) == !step.givenData.isEmpty());
        if (step.kind == SimStep::Kind::Silent) {
            require(step.fault == SimStep::Fault::None && step.data == SimStep::Data::Auto
                    && step.chunks == 1);
        }
    }
}

bool isProbability(double p)
{
    return p >= 0 && p <= 1;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    QString error;
    const std::optional<SimRule> rule = parseSimRule(text, &error);
    require(rule.has_value() == error.isEmpty());
    if (rule) {
        requireWithinBounds(*rule);
        QString again;
        require(parseSimRule(ruleText(*rule), &again) == rule);
    }

    error.clear();
    const std::optional<SimCommandLine> line = parseSimArguments(text.split(u'\n'), &error);
    require(line.has_value() == error.isEmpty());
    if (!line)
        return 0;
    const SimOptions &options = line->options;
    for (const SimRule &each : options.rules)
        requireWithinBounds(each);
    require(options.baudRate >= 0 && options.baudRate <= 4000000);
    require(options.answerDelayMs >= 0 && options.answerDelayMs <= kMaxMs);
    for (const QString &key : options.keys)
        require(key.size() == 12);
    const SimChaos &chaos = options.chaos;
    require(isProbability(chaos.silent) && isProbability(chaos.corrupt)
            && isProbability(chaos.split) && isProbability(chaos.inter));
    require(chaos.silent + chaos.corrupt <= 1);
    // Listening is a host; its port may be 0, any free port.
    require(!line->listenHost.isEmpty() || line->listenPort == 0);
    require(line->serialPort.isEmpty() || line->listenHost.isEmpty());
    return 0;
}

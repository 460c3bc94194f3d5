// Numbers a file states about itself that no real file holds: statistics
// tags beyond 64 bits or with letters in them, and packet durations whose sum
// passes 64 bits. Each must come to a well-formed row, with no overflow on
// the way (the sanitizer build traps one).
#include "HostileMedia.h"
#include "analysis/AudioAnalyzer.h"
#include "support/NamedCases.h"
#include "support/TestMedia.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <ostream>

using namespace testmedia;
using namespace hostile;

namespace {

// Three seconds of a tone in FLAC inside Matroska, with a statistics tag
// "BPS" of `bps`, or none.
QString TaggedFlac(const QTemporaryDir& dir, const QString& name, const QString& bps) {
    QStringList options{QStringLiteral("-c:a"), QStringLiteral("flac")};
    if (!bps.isNull())
        options << QStringLiteral("-metadata:s:a:0") << QStringLiteral("BPS=") + bps;
    return Generate(dir.filePath(name), QStringLiteral("sine=f=1000:d=3:r=44100"), options);
}

} // namespace

struct TagCase {
    const char* name;
    QString bps;
    // The bitrate the row shows; 0 means: as if the file had no tag.
    std::int32_t kbps;
};

class HostileBitrateTag : public ::testing::TestWithParam<TagCase> {};

TEST_P(HostileBitrateTag, OnlyAWholeNumberWithinSixtyFourBitsCounts) {
    QTemporaryDir dir;
    const TAudioQualityResult untagged =
        AnalyzeAudioQuality(TaggedFlac(dir, QStringLiteral("plain.mkv"), QString()));
    ASSERT_GT(untagged.BitrateKbps, 0);
    const TAudioQualityResult tagged =
        AnalyzeAudioQuality(TaggedFlac(dir, QStringLiteral("tagged.mkv"), GetParam().bps));
    EXPECT_EQ(tagged.BitrateKbps, GetParam().kbps ? GetParam().kbps : untagged.BitrateKbps);
    EXPECT_EQ(tagged.Verdict, untagged.Verdict == qvError ? qvError : tagged.Verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, HostileBitrateTag,
    ::testing::Values(TagCase{"Plain", QStringLiteral("128000"), 128},
                      TagCase{"TwentyDigits", QStringLiteral("99999999999999999999"), 0},
                      TagCase{"NegativeTwentyDigits", QStringLiteral("-99999999999999999999"), 0},
                      TagCase{"TrailingLetters", QStringLiteral("128000kbps"), 0},
                      TagCase{"LeadingBlank", QStringLiteral(" 128000"), 0},
                      TagCase{"Zero", QStringLiteral("0"), 0},
                      TagCase{"Hexadecimal", QStringLiteral("0x1F400"), 0},
                      // In range, but more than the column holds: it saturates there.
                      TagCase{"LargestSigned", QStringLiteral("9223372036854775807"),
                              std::numeric_limits<std::int32_t>::max()}),
    CaseName());

// Blocks that each claim a quarter of the 64-bit range or more: summed for
// the bitrate estimate they would pass the limit after a handful.
TEST(HostileTags, PacketDurationsBeyondSixtyFourBitsDoNotWrap) {
    QTemporaryDir dir;
    for (const std::uint64_t claim :
         {std::uint64_t(1) << 62, std::uint64_t(std::numeric_limits<std::int64_t>::max()),
          std::numeric_limits<std::uint64_t>::max()}) {
        const QString path = WriteBytes(dir.filePath(QStringLiteral("forged.mkv")),
                                        MatroskaWithBlockDurations(64, claim, QByteArray(48, 'k')));
        const TAudioQualityResult r = AnalyzeAudioQuality(path);
        EXPECT_GE(r.BitrateKbps, 0) << claim;
        EXPECT_TRUE(r.Verdict == qvError || r.CutoffHz >= 0.0f) << claim;
    }
}

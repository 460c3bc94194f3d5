// korvane-cli spectrogram as users run it: the PNG it writes (checked against
// a golden picture), the annotation, and its exit statuses.
#include "analysis/AudioAnalyzer.h"
#include "analysis/SourceAssessment.h"
#include "analysis/SpectrogramAnnotation.h"
#include "analysis/SpectrogramView.h"
#include "support/TestMedia.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <utility>
#include <vector>

using namespace testmedia;

namespace {

// One 2048-sample period of sines at the centres of bins 1..lastBin, levels
// falling linearly in dB from `topDb` at bin 1 to `bottomDb` at bin 1023,
// with fixed pseudo-random phases; plus an optional louder tone.
std::vector<float> CombPeriod(int lastBin, double topDb, double bottomDb, int toneBin = 0,
                              double toneDb = 0.0) {
    std::vector<double> period(2048, 0.0);
    std::uint32_t state = 2024;
    const auto addSine = [&](int bin, double db, double phase) {
        const double amplitude = std::pow(10.0, db / 20.0);
        for (int n = 0; n < 2048; ++n)
            period[std::size_t(n)] +=
                amplitude * std::sin(2.0 * std::numbers::pi * bin * n / 2048.0 + phase);
    };
    for (int bin = 1; bin <= lastBin; ++bin) {
        state = state * 1664525u + 1013904223u;
        addSine(bin, topDb + (bottomDb - topDb) * (bin - 1) / 1022.0,
                2.0 * std::numbers::pi * (state >> 8) / double(1u << 24));
    }
    if (toneBin > 0)
        addSine(toneBin, toneDb, 0.0);
    return std::vector<float>(period.begin(), period.end());
}

// 64 frames: 32 of a full-band comb, then 32 of a comb cut at bin 700 with a
// tone at bin 300. Whole periods per frame and float samples, so every frame
// sees exactly its spectrum, whatever encoder or platform.
QString WriteGoldenFixture(const QString& path) {
    const std::vector<float> fullBand = CombPeriod(1023, -30.0, -90.0);
    const std::vector<float> cut = CombPeriod(700, -30.0, -90.0, 300, -10.0);
    std::vector<float> samples;
    for (int frame = 0; frame < 64; ++frame)
        samples.insert(samples.end(), frame < 32 ? fullBand.begin() : cut.begin(),
                       frame < 32 ? fullBand.end() : cut.end());
    return WriteWav(path, samples, 44100, 1, true);
}

QString GoldenPath(const QString& name) {
    return QStringLiteral(KORVANE_GOLDEN_DIR) + u'/' + name;
}

// Bit depth and colour type from a PNG's IHDR chunk.
std::pair<int, int> PngDepthAndColourType(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {-1, -1};
    const QByteArray head = file.read(33);
    if (head.size() < 33 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return {-1, -1};
    return {quint8(head[24]), quint8(head[25])};
}

int LargestChannelDifference(const QImage& a, const QImage& b, QPoint* where) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q))});
            if (d > largest) {
                largest = d;
                *where = QPoint(x, y);
            }
        }
    }
    return largest;
}

// Where `part` sits inside `whole`: the place where nearly all of a grid of
// its pixels match (lines and labels may cover a few).
std::optional<QPoint> FindInside(const QImage& whole, const QImage& part) {
    const int samples = ((part.height() + 6) / 7) * ((part.width() + 4) / 5);
    for (int top = 0; top + part.height() <= whole.height(); ++top) {
        for (int left = 0; left + part.width() <= whole.width(); ++left) {
            int misses = 0;
            for (int y = 0; y < part.height() && misses * 20 < samples; y += 7)
                for (int x = 0; x < part.width() && misses * 20 < samples; x += 5)
                    misses += whole.pixel(left + x, top + y) != part.pixel(x, y);
            if (misses * 20 < samples)
                return QPoint(left, top);
        }
    }
    return std::nullopt;
}

class SpectrogramCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        fixture = WriteGoldenFixture(dir.filePath(QStringLiteral("comb.wav")));
    }
    QString out(const QString& name) const { return dir.filePath(name); }

    // `input` drawn at `size`, plain and annotated (as RGB32), and how the
    // annotated run ended.
    struct Renders {
        QImage picture;
        QImage canvas;
        CliRun annotatedRun;
        QString annotatedPath;
    };
    Renders renderBoth(const QString& input, const QString& size) const {
        const QString plain = out(QStringLiteral("plain-%1.png").arg(size));
        Renders r;
        r.annotatedPath = out(QStringLiteral("annotated-%1.png").arg(size));
        const QStringList common = {QStringLiteral("spectrogram"), input, QStringLiteral("--size"),
                                    size};
        EXPECT_EQ(RunCli(common + QStringList{QStringLiteral("-o"), plain}, dir.path()).exitCode,
                  0);
        r.annotatedRun = RunCli(common + QStringList{QStringLiteral("--annotate"),
                                                     QStringLiteral("-o"), r.annotatedPath},
                                dir.path());
        r.picture = QImage(plain).convertToFormat(QImage::Format_RGB32);
        r.canvas = QImage(r.annotatedPath).convertToFormat(QImage::Format_RGB32);
        return r;
    }

    QTemporaryDir dir;
    QString fixture;
};

} // namespace

// The golden picture was checked by eye: the full-band comb fills the left
// half from bright orange at the bottom to violet at the top; the right half
// stops at 15 kHz (black above) and carries a white line at 6.5 kHz.
TEST_F(SpectrogramCliTest, StretchedPictureMatchesTheGoldenPng) {
    const QString png = out(QStringLiteral("comb-256x128.png"));
    const CliRun run = RunCli({QStringLiteral("spectrogram"), fixture, QStringLiteral("-o"), png,
                               QStringLiteral("--size"), QStringLiteral("256x128")},
                              dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(PngDepthAndColourType(png), std::make_pair(8, 2)) << "8-bit truecolour, no alpha";

    const QString golden = GoldenPath(QStringLiteral("spectrogram-256x128.png"));
    if (qEnvironmentVariableIsSet("KORVANE_UPDATE_GOLDEN")) {
        QFile::remove(golden);
        ASSERT_TRUE(QFile::copy(png, golden));
    }
    const QImage actual(png);
    const QImage expected(golden);
    ASSERT_FALSE(expected.isNull()) << golden.toStdString();
    ASSERT_EQ(actual.size(), expected.size());
    // A level step of the FFT's last float bits may move a colour by one
    // palette entry (at most 3 per channel); anything else is a real change.
    QPoint where;
    EXPECT_LE(LargestChannelDifference(actual, expected, &where), 4)
        << "at " << where.x() << "," << where.y();
}

TEST_F(SpectrogramCliTest, FullResolutionHasAColumnPerFrameAndStretchesToThePanelPicture) {
    const QString full = out(QStringLiteral("full.png"));
    const QString small = out(QStringLiteral("small.png"));
    ASSERT_EQ(
        RunCli({QStringLiteral("spectrogram"), fixture, QStringLiteral("-o"), full}, dir.path())
            .exitCode,
        0);
    ASSERT_EQ(RunCli({QStringLiteral("spectrogram"), fixture, QStringLiteral("--size"),
                      QStringLiteral("100x300"), QStringLiteral("-o"), small},
                     dir.path())
                  .exitCode,
              0);
    const QImage fullImage(full);
    EXPECT_EQ(fullImage.size(), QSize(64, 1024));
    EXPECT_EQ(PngDepthAndColourType(full), std::make_pair(8, 2));
    const QImage stretched =
        StretchNearest(fullImage.convertToFormat(QImage::Format_BGR888), QSize(100, 300));
    EXPECT_EQ(stretched.convertToFormat(QImage::Format_RGB32),
              QImage(small).convertToFormat(QImage::Format_RGB32));
}

namespace {

// Cut at bin 700 throughout, so the analysis finds a sharp cutoff near 15 kHz.
QString WriteCutComb(const QString& path) {
    const std::vector<float> period = CombPeriod(700, -30.0, -60.0);
    std::vector<float> samples;
    for (int frame = 0; frame < 100; ++frame)
        samples.insert(samples.end(), period.begin(), period.end());
    return WriteWav(path, samples, 44100, 1, true);
}

} // namespace

TEST_F(SpectrogramCliTest, AnnotationFramesThePictureAndMarksTheCutoff) {
    const QString input = WriteCutComb(out(QStringLiteral("cut.wav")));
    const Renders renders = renderBoth(input, QStringLiteral("400x256"));
    const CliRun& run = renders.annotatedRun;
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_EQ(PngDepthAndColourType(renders.annotatedPath), std::make_pair(8, 2));

    const QImage& picture = renders.picture;
    const QImage& canvas = renders.canvas;
    ASSERT_GT(canvas.width(), picture.width() + 20);
    ASSERT_GT(canvas.height(), picture.height() + 20);
    const std::optional<QPoint> plot = FindInside(canvas, picture);
    ASSERT_TRUE(plot) << "the picture must appear unscaled inside the annotation";
    EXPECT_GT(plot->x(), 15) << "room for the frequency scale";
    EXPECT_LT(plot->y() + picture.height() + 15, canvas.height()) << "room for the time scale";

    // The dashed line in the verdict's colour crosses the plot at the cutoff
    // the analysis finds, a little above bin 700.
    const TAudioQualityResult analysis = AnalyzeAudioQuality(input);
    ASSERT_EQ(analysis.Verdict, qvLikely) << analysis.Reason.toStdString();
    ASSERT_NEAR(analysis.CutoffHz, 701 * 44100.0 / 2048.0, 200.0);
    const int lineRow =
        plot->y() + int(std::floor(SpectrogramYOfFrequency(analysis.CutoffHz, 44100, 256)));
    const QRgb likely = VerdictColour(qvLikely).rgb();
    const auto lineCount = [&](int row) {
        int count = 0;
        for (int x = plot->x(); x < plot->x() + picture.width(); ++x)
            count += canvas.pixel(x, row) == likely;
        return count;
    };
    EXPECT_GT(lineCount(lineRow), picture.width() / 2) << "row " << lineRow;
    EXPECT_LT(lineCount(lineRow + 3), picture.width() / 10);
    EXPECT_LT(lineCount(lineRow - 30), picture.width() / 10);

    // Text in the margins: scale labels left of and under the plot.
    const auto inkIn = [&](QRect area) {
        int ink = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                ink += qGray(canvas.pixel(x, y)) > 120;
        return ink;
    };
    EXPECT_GT(inkIn(QRect(0, plot->y(), plot->x() - 8, picture.height())), 50);
    EXPECT_GT(inkIn(QRect(plot->x(), plot->y() + picture.height() + 8, picture.width(),
                          canvas.height() - plot->y() - picture.height() - 8)),
              50);
}

// A short file at full size is only a few columns wide: the cutoff's caption
// and the header still need their room, which the right margin gives.
TEST_F(SpectrogramCliTest, AnnotationOfANarrowPictureKeepsItsCaptionWhole) {
    const QString input = WriteCutComb(out(QStringLiteral("cut.wav")));
    const Renders renders = renderBoth(input, QStringLiteral("24x512"));
    ASSERT_EQ(renders.annotatedRun.exitCode, 0) << renders.annotatedRun.err.toStdString();
    const QImage& picture = renders.picture;
    const QImage& canvas = renders.canvas;
    // Found by its lower half: the caption covers much of a plot this narrow.
    const int halfway = picture.height() / 2;
    std::optional<QPoint> plot =
        FindInside(canvas, picture.copy(0, halfway, picture.width(), halfway));
    ASSERT_TRUE(plot);
    plot->ry() -= halfway;
    const int plotRight = plot->x() + picture.width() - 1;
    ASSERT_GT(canvas.width() - plotRight, 100) << "the margin makes up for the narrow plot";

    // The caption's box, outlined in the verdict's colour just above the line,
    // reaches out of the plot into the margin instead of being cut off there.
    const TAudioQualityResult analysis = AnalyzeAudioQuality(input);
    ASSERT_EQ(analysis.Verdict, qvLikely);
    const int lineRow =
        plot->y() + int(std::floor(SpectrogramYOfFrequency(analysis.CutoffHz, 44100, 512)));
    const QRgb likely = VerdictColour(qvLikely).rgb();
    int outlineRight = -1;
    for (int y = std::max(0, lineRow - 60); y < lineRow; ++y)
        for (int x = plotRight + 1; x < canvas.width(); ++x)
            if (canvas.pixel(x, y) == likely)
                outlineRight = std::max(outlineRight, x);
    EXPECT_GT(outlineRight, plotRight + 60) << "caption box ends at x " << outlineRight;
    EXPECT_LT(outlineRight, canvas.width() - 1) << "and inside the picture";
}

// The header: the file's name, the verdict, and under them the assessment of
// its source in that word's colour; the earlier two lines stay as they were.
TEST_F(SpectrogramCliTest, AnnotationHeaderGivesTheAssessmentOnAThirdLine) {
    const QString master =
        Generate(out(QStringLiteral("master.flac")),
                 QStringLiteral("anoisesrc=d=6:c=pink:r=44100:a=0.5:seed=5,highshelf=f=8000:g=-25,"
                                "volume='0.02+0.98*pow(abs(sin(2*PI*t*0.7)),4)':eval=frame"),
                 {"-c:a", "flac"});
    const QString mp3 = out(QStringLiteral("first.mp3"));
    const QString input = out(QStringLiteral("transcode.wav"));
    ASSERT_TRUE(RunFfmpeg({"-i", master, "-c:a", "libmp3lame", "-b:a", "128k", mp3}));
    ASSERT_TRUE(RunFfmpeg({"-i", mp3, "-c:a", "pcm_s16le", input}));
    const QualityAndSource direct = AnalyzeQualityAndSource(input);
    ASSERT_EQ(direct.Source.Kind, Assessment::Transcoded)
        << direct.Source.Explanation.toStdString();

    const Renders renders = renderBoth(input, QStringLiteral("600x256"));
    ASSERT_EQ(renders.annotatedRun.exitCode, 0) << renders.annotatedRun.err.toStdString();
    EXPECT_TRUE(renders.annotatedRun.out.isEmpty());
    const QImage& canvas = renders.canvas;
    const std::optional<QPoint> plot = FindInside(canvas, renders.picture);
    ASSERT_TRUE(plot);

    // Runs of rows with text above the plot: one per header line.
    const auto rowHasInk = [&](int y) {
        for (int x = plot->x(); x < canvas.width(); ++x)
            if (qGray(canvas.pixel(x, y)) > 100)
                return true;
        return false;
    };
    std::vector<std::pair<int, int>> lines; // first and last row
    for (int y = 0; y < plot->y() - 2; ++y) {
        if (!rowHasInk(y))
            continue;
        if (!lines.empty() && lines.back().second == y - 1)
            lines.back().second = y;
        else
            lines.emplace_back(y, y);
    }
    ASSERT_EQ(lines.size(), 3u) << "name, verdict, assessment";
    const QRgb verdictColour = VerdictColour(direct.Quality.Verdict).rgb();
    const QRgb opinionColour = AssessmentColour(Assessment::Transcoded).rgb();
    const auto countIn = [&](std::pair<int, int> rows, QRgb colour) {
        int count = 0;
        for (int y = rows.first; y <= rows.second; ++y)
            for (int x = plot->x(); x < canvas.width(); ++x)
                count += canvas.pixel(x, y) == colour;
        return count;
    };
    EXPECT_GT(countIn(lines[1], verdictColour), 10) << "the verdict word on the second line";
    EXPECT_GT(countIn(lines[2], opinionColour), 10) << "the assessment on the third";
    // The assessment's text runs on past its word: the explanation follows.
    int lastInk = 0;
    for (int y = lines[2].first; y <= lines[2].second; ++y)
        for (int x = plot->x(); x < canvas.width(); ++x)
            if (qGray(canvas.pixel(x, y)) > 100)
                lastInk = std::max(lastInk, x);
    EXPECT_GT(lastInk - plot->x(), renders.picture.width() / 2);
}

TEST_F(SpectrogramCliTest, ExitStatusesAndMessages) {
    WriteWav(out(QStringLiteral("short.wav")), SineAtBin(10, 44100, 2000), 44100);
    WriteBytes(out(QStringLiteral("notes.mp3")), "not sound");
    const struct {
        QStringList arguments;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"spectrogram", "missing.wav", "-o", "x.png"}, 2, "no such file"},
        {{"spectrogram", ".", "-o", "x.png"}, 2, "it is a folder"},
        {{"spectrogram", "short.wav", "-o", "x.png"}, 2, "shorter than 2048 samples"},
        {{"spectrogram", "notes.mp3", "-o", "x.png"}, 2, "not an audio or video file"},
        {{"spectrogram", "comb.wav", "-o", "no-such-folder/x.png"}, 2, "cannot write"},
        {{"spectrogram", "comb.wav"}, 64, "-o OUT.png"},
        {{"spectrogram", "-o", "x.png"}, 64, "exactly one file"},
        {{"spectrogram", "comb.wav", "comb.wav", "-o", "x.png"}, 64, "exactly one file"},
        {{"spectrogram", "comb.wav", "-o", "x.png", "--size", "0x10"}, 64, "WIDTHxHEIGHT"},
        {{"spectrogram", "comb.wav", "-o", "x.png", "--size", "wide"}, 64, "WIDTHxHEIGHT"},
        {{"spectrogram", "comb.wav", "-o", "x.png", "--size", "40000x10"}, 64, "WIDTHxHEIGHT"},
        {{"spectrogram", "comb.wav", "-o", "x.png", "--bogus"}, 64, "bogus"},
        {{"spectrogram", "comb.wav", "-ao", "x.png"}, 64, "Unknown option 'ao'"},
        {{"spectrogram", "--help"}, 0, ""},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(c.arguments, dir.path());
        const std::string line = c.arguments.join(u' ').toStdString();
        EXPECT_EQ(run.exitCode, c.exitCode) << line << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.message))) << line << "\n"
                                                                      << run.err.toStdString();
        if (c.exitCode != 0) {
            EXPECT_TRUE(run.err.startsWith(QStringLiteral("korvane-cli: "))) << line;
        }
    }
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("x.png")))) << "no picture from a failed run";
}

TEST_F(SpectrogramCliTest, HelpListsTheCommand) {
    const CliRun run = RunCli({QStringLiteral("--help")}, dir.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("spectrogram FILE -o OUT.png")))
        << run.out.toStdString();
}

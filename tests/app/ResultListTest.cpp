// The result list: what Ekle writes into a row, and the row commands.
#include "AppFormFixture.h"
#include "app/ResultRow.h"
#include "support/TestMedia.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

TEST_F(AppFormTest, OkResultRow) {
    environment.Analyze = Reports([](const QString&) {
        TAudioQualityResult result;
        result.BitrateKbps = 320;
        result.SampleRate = 44100;
        result.CutoffHz = 19000.0f;
        result.Verdict = qvOk;
        return result;
    });
    TAppForm& window = makeForm();
    load({QStringLiteral("/music/a.mp3")});
    ASSERT_EQ(window.ListView1->rowCount(), 1);
    EXPECT_EQ(rowsAsText(), QStringList{QStringLiteral("a.mp3|320|44100|19000|OK||49")});
    EXPECT_EQ(window.ListView1->caption(0), u"/music/a.mp3");
    EXPECT_EQ(window.ListView1->item(0, 0)->data(ResultList::ImageIndexRole).toInt(), 48);
    EXPECT_FALSE(window.ListView1->item(0, 0)->icon().isNull());
    EXPECT_FALSE(window.ListView1->item(0, ResultList::colResult)->icon().isNull());
    EXPECT_EQ(window.pendingRow(), nullptr);
}

TEST_F(AppFormTest, CutoffHalfwayShowsTheEvenNeighbour) {
    const std::pair<float, const char16_t*> cases[] = {
        {19000.5f, u"19000"}, {19001.5f, u"19002"}, {15999.7f, u"16000"}};
    for (auto [hz, text] : cases) {
        environment.Analyze = Reports([hz](const QString&) {
            TAudioQualityResult result;
            result.CutoffHz = hz;
            return result;
        });
        TAppForm& window = makeForm(false);
        load({QStringLiteral("/x.mp3")});
        EXPECT_EQ(window.ListView1->subItem(0, 2), QStringView(text)) << hz;
    }
}

TEST_F(AppFormTest, UnopenableFileGivesZerosAndTheErrorVerdict) {
    environment.Analyze = AnalyzeFile;
    TAppForm& window = makeForm();
    const QString notMedia = touch(QStringLiteral("notes.txt"), "just text, no sound\n");
    const TAudioQualityResult direct = AnalyzeAudioQuality(notMedia);
    load({notMedia});
    ASSERT_EQ(window.ListView1->rowCount(), 1);
    EXPECT_EQ(rowsAsText()[0], QStringLiteral("notes.txt|0|0|0|Error|%1|52").arg(direct.Reason));
    EXPECT_FALSE(direct.Reason.isEmpty());
}

TEST_F(AppFormTest, RaisingAnalysisGivesDashesAndNoVerdictPicture) {
    TAppForm& window = makeForm();
    load({QStringLiteral("/music/raise.mp3")});
    ASSERT_EQ(window.ListView1->rowCount(), 1);
    EXPECT_EQ(rowsAsText()[0], u"raise.mp3|-|-|-|-|-|");
    EXPECT_TRUE(window.ListView1->item(0, ResultList::colResult)->icon().isNull());
    EXPECT_FALSE(window.ListView1->item(0, 0)->icon().isNull()); // the row picture stays
}

TEST_F(AppFormTest, ListIsAReportWithGridWholeRowMultiSelectionAndTheGivenColumns) {
    TAppForm& window = makeForm();
    // Wide enough for every column: the file name takes what the others leave.
    window.resize(1400, window.height());
    QCoreApplication::processEvents();
    ResultList* list = window.ListView1;
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(list->isSortingEnabled());
    // The six columns of the verdict, then the second opinion after them.
    const char* headings[] = {"Filename", "Bitrate", "Sample Rate", "Cutoff",
                              "Result",   "Reason",  "Assessment"};
    const int widths[] = {0, 75, 75, 75, 75, 250, 150};
    ASSERT_EQ(list->columnCount(), 7);
    int fixed = 0;
    for (int column = 0; column < 7; ++column) {
        EXPECT_EQ(list->horizontalHeaderItem(column)->text().toStdString(), headings[column]);
        if (column > 0) {
            EXPECT_GE(list->columnWidth(column), widths[column]) << column;
            fixed += list->columnWidth(column);
        }
    }
    EXPECT_NEAR(list->columnWidth(0) + fixed, list->viewport()->width(), 2);
    EXPECT_GT(list->columnWidth(0), 300);

    // At the window's first size the name keeps a readable width and the
    // list scrolls sideways to the last column instead.
    window.resize(734, window.height());
    QCoreApplication::processEvents();
    EXPECT_GE(list->columnWidth(0), 150);
    EXPECT_GE(list->columnWidth(ResultList::colReason), 250);
    EXPECT_GT(list->horizontalScrollBar()->maximum(), 0);
}

TEST_F(AppFormTest, AssessmentColumnShowsTheOpinionAndExplainsItInTheToolTip) {
    struct Case {
        Assessment Kind;
        QString Source;
        QString Text;
    };
    const Case cases[] = {
        {Assessment::Transcoded, QStringLiteral("MP3 ~128 kbps"),
         QStringLiteral("Transcoded \u00b7 MP3 ~128 kbps")},
        {Assessment::Upsampled, QStringLiteral("22.05 kHz audio"),
         QStringLiteral("Upsampled \u00b7 22.05 kHz audio")},
        {Assessment::BandLimited, QString(), QStringLiteral("Band-limited")},
        {Assessment::Clean, QString(), QStringLiteral("Clean")},
    };
    QStringList paths;
    for (const Case& c : cases)
        paths << QStringLiteral("/music/%1.flac").arg(AssessmentWord(c.Kind));
    environment.Analyze = [&cases](const QString& path, std::stop_token) {
        FileReport report;
        report.Path = path;
        report.Quality = ScriptedAnalysis(path);
        for (const Case& c : cases) {
            if (path.contains(AssessmentWord(c.Kind))) {
                report.Source.Kind = c.Kind;
                report.Source.Source = c.Source;
                report.Source.Explanation = QStringLiteral("Because of ") + AssessmentWord(c.Kind);
            }
        }
        return report;
    };
    TAppForm& window = makeForm();
    load(paths);
    ASSERT_EQ(window.ListView1->rowCount(), 4);
    for (int row = 0; row < 4; ++row) {
        const QTableWidgetItem* cell = window.ListView1->item(row, ResultList::colAssessment);
        ASSERT_NE(cell, nullptr) << row;
        EXPECT_EQ(cell->text(), cases[row].Text) << row;
        EXPECT_EQ(cell->toolTip(), QStringLiteral("Because of ") + AssessmentWord(cases[row].Kind));
    }
    // The six columns before it are the verdict's, as they always were.
    EXPECT_EQ(rowsAsText()[0], u"transcoded.flac|128|44100|16000|Possible|for transcoded.flac|50");
}

TEST_F(AppFormTest, ARaisedAnalysisShowsErrorInTheAssessmentAndWhyInItsToolTip) {
    TAppForm& window = makeForm();
    load({QStringLiteral("/music/raise.mp3")});
    EXPECT_EQ(rowsAsText()[0], u"raise.mp3|-|-|-|-|-|");
    const QTableWidgetItem* cell = window.ListView1->item(0, ResultList::colAssessment);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(), u"Error");
    EXPECT_TRUE(cell->toolTip().contains(u"scripted failure")) << cell->toolTip().toStdString();
}

TEST_F(AppFormTest, AssessmentOfRealFilesTranscodeAndClean) {
    // A music-like master, an MP3 of it at its own rate (clean) and that
    // MP3 decoded to FLAC (a transcode), analysed by the program itself.
    const QString music =
        QStringLiteral("anoisesrc=d=6:c=pink:r=44100:a=0.5:seed=5,highshelf=f=8000:g=-25,"
                       "volume='0.02+0.98*pow(abs(sin(2*PI*t*0.7)),4)':eval=frame[n];"
                       "sine=f=440:d=6:r=44100[a];"
                       "[n][a]amix=inputs=2:weights=1 0.4,aformat=channel_layouts=stereo");
    const QString master =
        testmedia::Generate(media.filePath(QStringLiteral("master.flac")), music, {"-c:a", "flac"});
    const QString mp3 = media.filePath(QStringLiteral("own.mp3"));
    const QString transcode = media.filePath(QStringLiteral("from-mp3.flac"));
    ASSERT_TRUE(testmedia::RunFfmpeg({"-i", master, "-c:a", "libmp3lame", "-b:a", "128k", mp3}));
    ASSERT_TRUE(testmedia::RunFfmpeg({"-i", mp3, "-c:a", "flac", transcode}));
    environment.Analyze = AnalyzeFile;
    TAppForm& window = makeForm();
    load({transcode, mp3});
    ASSERT_EQ(window.ListView1->rowCount(), 2);
    const QualityAndSource direct[] = {AnalyzeQualityAndSource(transcode),
                                       AnalyzeQualityAndSource(mp3)};
    EXPECT_EQ(direct[0].Source.Kind, Assessment::Transcoded);
    EXPECT_EQ(direct[1].Source.Kind, Assessment::Clean);
    const QString expected[] = {QStringLiteral("Transcoded \u00b7 MP3 ~128 kbps"),
                                QStringLiteral("Clean")};
    for (int row = 0; row < 2; ++row) {
        const QTableWidgetItem* cell = window.ListView1->item(row, ResultList::colAssessment);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->text(), expected[row]) << direct[row].Source.Explanation.toStdString();
        EXPECT_EQ(cell->toolTip(), direct[row].Source.Explanation);
        EXPECT_FALSE(cell->toolTip().isEmpty());
        // The verdict's columns show what the cutoff analysis alone says.
        EXPECT_EQ(window.ListView1->subItem(row, 3), VerdictWord(direct[row].Quality.Verdict));
    }
}

TEST_F(AppFormTest, DeleteRemovesTheSelectedRowsAndNothingWithoutSelection) {
    TAppForm& window = makeForm();
    load({QStringLiteral("/a.mp3"), QStringLiteral("/b.mp3"), QStringLiteral("/c.mp3"),
          QStringLiteral("/d.mp3"), QStringLiteral("/e.mp3")});
    ASSERT_EQ(window.ListView1->rowCount(), 5);

    window.ListView1->clearSelection();
    window.ListView1->setFocus();
    QTest::keyClick(window.ListView1, Qt::Key_Delete);
    EXPECT_EQ(window.ListView1->rowCount(), 5);

    selectRows({0, 2, 3});
    QTest::keyClick(window.ListView1, Qt::Key_Delete);
    EXPECT_EQ(captions(), (QStringList{QStringLiteral("/b.mp3"), QStringLiteral("/e.mp3")}));

    window.SelectAll1->trigger();
    EXPECT_EQ(window.ListView1->selectedRowNumbers(), (QList<int>{0, 1}));
    window.Delete1->trigger();
    EXPECT_EQ(window.ListView1->rowCount(), 0);

    load({QStringLiteral("/f.mp3"), QStringLiteral("/f.mp3")}); // duplicates allowed
    EXPECT_EQ(window.ListView1->rowCount(), 2);
    window.Clear1->trigger();
    EXPECT_EQ(window.ListView1->rowCount(), 0);
}

TEST_F(AppFormTest, OpenAndShowInExplorerActOnTheFirstSelectedRow) {
    TAppForm& window = makeForm();
    load({QStringLiteral("/music/one.mp3"), QStringLiteral("/music/My Album/two 2.mp3"),
          QStringLiteral("/music/three.mp3")});
    window.Open1->trigger(); // nothing chosen yet
    window.ShowinExplorer1->trigger();
    EXPECT_TRUE(openedUrls.isEmpty());
    EXPECT_TRUE(shownInFileManager.isEmpty());

    selectRows({2, 1});
    window.Open1->trigger();
    window.ShowinExplorer1->trigger();
    ASSERT_EQ(openedUrls.size(), 1);
    EXPECT_EQ(openedUrls[0], QUrl::fromLocalFile(QStringLiteral("/music/My Album/two 2.mp3")));
    EXPECT_EQ(shownInFileManager, QStringList{QStringLiteral("/music/My Album/two 2.mp3")});
}

TEST_F(AppFormTest, DoubleClickOpensTheRow) {
    TAppForm& window = makeForm();
    load({QStringLiteral("/music/one.mp3"), QStringLiteral("/music/two.mp3")});
    const QRect cell = window.ListView1->visualRect(window.ListView1->model()->index(1, 2));
    QTest::mouseClick(window.ListView1->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(window.ListView1->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(openedUrls.size(), 1);
    EXPECT_EQ(openedUrls[0].toLocalFile(), u"/music/two.mp3");
}

TEST_F(AppFormTest, RightClickOnARowOpensTheRowPopupAndOnThePanelTheSavePopup) {
    TAppForm& window = makeForm();
    load({QStringLiteral("/music/one.mp3"), QStringLiteral("/music/two.mp3")});
    const QRect cell = window.ListView1->visualRect(window.ListView1->model()->index(1, 1));
    QContextMenuEvent onRow(QContextMenuEvent::Mouse, cell.center(),
                            window.ListView1->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(window.ListView1->viewport(), &onRow);
    EXPECT_TRUE(window.PopupMenu2->isVisible());
    window.PopupMenu2->hide();

    window.ListView1->selectRow(0);
    drawChosenRow();
    ASSERT_TRUE(window.PaintBox1->isVisible());
    QContextMenuEvent onPanel(QContextMenuEvent::Mouse, QPoint(5, 5),
                              window.PaintBox1->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(window.PaintBox1, &onPanel);
    EXPECT_TRUE(window.PopupMenu1->isVisible());
    window.PopupMenu1->hide();
}

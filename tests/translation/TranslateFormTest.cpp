// The language dialog on the offscreen platform, over a language folder of
// the test's own.
#include "translation/TranslateForm.h"

#include "LanguageFolder.h"
#include "translation/FlagComboBox.h"
#include "translation/Language.h"
#include "translation/RestartScript.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

const QByteArray kGerman = "{Language}Sprache\n{OK}OK\n{Restart Application?}Anwendung neu "
                           "starten?\n{Confirmation}Best\xc3\xa4tigung\n{Yes}Ja\n{No}Nein\n"
                           "{INFO:Translated By} Anna Schmidt, Bernd Maier,, Carla Weiss\n";

class TranslateFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.write(QStringLiteral("German.lang.txt"), kGerman);
        folder.write(QStringLiteral("Turkish.lang.txt"), "{OK}Tamam\n");
        folder.write(QStringLiteral("dutch.lang.txt"), "{INFO:Translated By}Jan\n");
        QDir(folder.base()).mkpath(QStringLiteral("data"));
        dataFolder = folder.base() + QStringLiteral("/data");
    }

    void TearDown() override {
        form.reset();
        language.reset(); // back to English for the next test
    }

    // The dialog over the run's language, `preferred` (the folder has no
    // LanguageCodes.csv: blank means English).
    TTranslateForm& Open(const QString& preferred) {
        language.emplace(folder.init(preferred));
        TranslateFormOptions options;
        options.SetLanguageFile = [this](const QString& name) { handedOver.append(name); };
        options.Language = language->language();
        options.DataFolder = dataFolder;
        options.ExecutablePath = QStringLiteral("/opt/Korvane Apps/korvane");
        options.Restart = [this](const QString& script, const QString& workingFolder) {
            restarts.append({script, workingFolder});
        };
        options.ShowMessage = [this](QWidget*, const MessageRequest& request) {
            messages.append(request);
            return answer;
        };
        options.OpenUrl = [this](const QUrl& url) {
            opened.append(url);
            return true;
        };
        options.VendorHost = QStringLiteral("vendor.example.org");
        form = std::make_unique<TTranslateForm>(options);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return *form;
    }

    QStringList Items() const {
        QStringList items;
        for (int i = 0; i < form->ComboBox1->count(); ++i)
            items.append(form->ComboBox1->itemText(i));
        return items;
    }

    void Choose(const QString& name) {
        form->ComboBox1->setCurrentIndex(form->ComboBox1->findText(name));
    }

    QString ScriptPath() const { return dataFolder + QStringLiteral("/start.sh"); }

    LanguageFolder folder;
    QString dataFolder;
    QStringList handedOver;
    QList<QPair<QString, QString>> restarts;
    QList<MessageRequest> messages;
    QList<QUrl> opened;
    QMessageBox::StandardButton answer = QMessageBox::No;
    std::optional<InstalledLanguage> language;
    std::unique_ptr<TTranslateForm> form;
};

// The colour at (x, y) of a list row drawn by the dialog's delegate.
QColor RowPixel(TTranslateForm& form, const QString& name, QPoint at) {
    QImage row(200, 18, QImage::Format_RGB32);
    row.fill(Qt::magenta);
    QPainter painter(&row);
    QStyleOptionViewItem option;
    option.rect = row.rect();
    option.palette = form.palette();
    option.font = form.ComboBox1->font();
    const int index = form.ComboBox1->findText(name);
    form.ComboBox1->itemDelegate()->paint(&painter, option,
                                          form.ComboBox1->model()->index(index, 0));
    painter.end();
    return row.pixelColor(at);
}

} // namespace

TEST_F(TranslateFormTest, ListsTheLanguagesSortedAndSelectsTheCurrentOne) {
    Open(QStringLiteral("German.lang.txt"));
    EXPECT_EQ(Items(), QStringList({QStringLiteral("dutch"), QStringLiteral("English"),
                                    QStringLiteral("German"), QStringLiteral("Turkish")}));
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("German"));
    EXPECT_EQ(form->InitialLanguage, QStringLiteral("German"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Sprache"));
    EXPECT_EQ(form->size(), QSize(622, 227));
    EXPECT_EQ(form->Label3->toolTip(), QStringLiteral("https://vendor.example.org/translation/"));
}

TEST_F(TranslateFormTest, WithoutALoadedLanguageTheDesignedEnglishStaysSelected) {
    Open(QString());
    ASSERT_TRUE(language->language().CurrentLanguage.isEmpty());
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("English"));
    EXPECT_EQ(form->InitialLanguage, QStringLiteral("English"));
    EXPECT_EQ(form->RichEdit1->toPlainText(), QStringLiteral("Quiblex"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Language"));
}

TEST_F(TranslateFormTest, OddFileNamesGiveASecondEnglishAndAnEmptyEntry) {
    folder.write(QStringLiteral("English.lang.txt"), "{INFO:Translated By}Not Us\n");
    folder.write(QStringLiteral("Klingon.LANG.txt"), "{OK}Qapla'\n");
    Open(QStringLiteral("Turkish.lang.txt"));
    EXPECT_EQ(Items(), QStringList({QString(), QStringLiteral("dutch"), QStringLiteral("English"),
                                    QStringLiteral("English"), QStringLiteral("German"),
                                    QStringLiteral("Turkish")}));
    Choose(QStringLiteral("English"));
    EXPECT_EQ(form->RichEdit1->toPlainText(), QStringLiteral("Quiblex"));
}

TEST_F(TranslateFormTest, RowsAreDrawnWithTheirFlagAtTheTopLeftAndTheNameAfterIt) {
    Open(QString());
    // German: black over red over gold, in the 16-pixel picture.
    const QColor top = RowPixel(*form, QStringLiteral("German"), {8, 4});
    const QColor bottom = RowPixel(*form, QStringLiteral("German"), {8, 12});
    EXPECT_LT(top.lightness(), 60) << top.name().toStdString();
    EXPECT_GT(bottom.red(), 200);
    EXPECT_GT(bottom.green(), 150);
    EXPECT_LT(bottom.blue(), 80);
    // dutch is not in the flag table: the generic flag, drawn differently.
    EXPECT_NE(RowPixel(*form, QStringLiteral("dutch"), {8, 4}), top);
    // The row is filled: nothing of the canvas shows through beside the text.
    EXPECT_NE(RowPixel(*form, QStringLiteral("German"), {190, 9}), QColor(Qt::magenta));
    EXPECT_EQ(form->ComboBox1->itemDelegate()
                  ->sizeHint(QStyleOptionViewItem(), form->ComboBox1->model()->index(0, 0))
                  .height(),
              18);
}

TEST_F(TranslateFormTest, CreditLinesFollowTheSelection) {
    Open(QString());
    Choose(QStringLiteral("German"));
    EXPECT_EQ(form->RichEdit1->toPlainText(),
              QStringLiteral("Anna Schmidt\nBernd Maier\n\nCarla Weiss"));
    EXPECT_EQ(form->RichEdit1->document()->blockCount(), 4);
    Choose(QStringLiteral("Turkish"));
    EXPECT_EQ(form->RichEdit1->toPlainText(), QStringLiteral("INFO:Translated By"));
    Choose(QStringLiteral("dutch"));
    EXPECT_EQ(form->RichEdit1->toPlainText(), QStringLiteral("Jan"));
    EXPECT_TRUE(form->RichEdit1->isReadOnly());
}

TEST_F(TranslateFormTest, OkWithoutAChangeClosesSilently) {
    Open(QStringLiteral("German.lang.txt"));
    Choose(QStringLiteral("Turkish"));
    Choose(QStringLiteral("German")); // back where it started
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(handedOver.isEmpty());
    EXPECT_TRUE(restarts.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(ScriptPath()));
}

TEST_F(TranslateFormTest, DeclinedRestartLeavesTheDialogOpenAndAsksAgain) {
    Open(QStringLiteral("German.lang.txt"));
    Choose(QStringLiteral("Turkish"));
    answer = QMessageBox::No;
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1);
    const MessageRequest& asked = messages[0];
    EXPECT_EQ(asked.Icon, QMessageBox::Question);
    EXPECT_EQ(asked.Title, QStringLiteral("Best\u00e4tigung"));
    EXPECT_EQ(asked.Text, QStringLiteral("Anwendung neu starten?"));
    EXPECT_EQ(asked.Buttons, QList({QMessageBox::Yes, QMessageBox::No}));
    EXPECT_EQ(asked.Captions, QStringList({QStringLiteral("Ja"), QStringLiteral("Nein")}));

    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("Turkish"));
    EXPECT_TRUE(handedOver.isEmpty());
    EXPECT_TRUE(restarts.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(ScriptPath()));

    answer = QMessageBox::Cancel; // closing the question box is no Yes either
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(messages.size(), 2);
    EXPECT_TRUE(restarts.isEmpty());
}

TEST_F(TranslateFormTest, ConfirmedRestartHandsOverTheChoiceWritesTheScriptAndRestarts) {
    Open(QString());
    Choose(QStringLiteral("German"));
    answer = QMessageBox::Yes;
    QTest::mouseClick(form->Button1, Qt::LeftButton);

    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].Captions, QStringList({QStringLiteral("Yes"), QStringLiteral("No")}));
    EXPECT_EQ(handedOver, QStringList({QStringLiteral("German.lang.txt")}));
    ASSERT_EQ(restarts.size(), 1);
    EXPECT_EQ(restarts[0].first, ScriptPath());
    EXPECT_EQ(restarts[0].second, dataFolder);

    QFile script(ScriptPath());
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    EXPECT_EQ(script.readAll(), QByteArray("#!/bin/sh\n"
                                           "# This file was created automatically to restart the "
                                           "program.\n"
                                           "# It is safe to delete this file.\n"
                                           "sleep 1\n"
                                           "exec '/opt/Korvane Apps/korvane'\n"));
}

TEST_F(TranslateFormTest, ScriptThatCannotBeWrittenKeepsTheProgramRunning) {
    dataFolder = folder.base() + QStringLiteral("/no such folder");
    Open(QString());
    Choose(QStringLiteral("Turkish"));
    answer = QMessageBox::Yes;
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1].Icon, QMessageBox::Critical);
    EXPECT_NE(messages[1].Text.indexOf(QStringLiteral("start.sh")), -1);
    EXPECT_TRUE(restarts.isEmpty());
    EXPECT_TRUE(form->isVisible());
}

TEST_F(TranslateFormTest, EscapeClosesFromTheListTheButtonAndTheCreditBox) {
    for (int control = 0; control < 3; ++control) {
        Open(QString());
        QWidget* target = control == 0   ? static_cast<QWidget*>(form->ComboBox1)
                          : control == 1 ? static_cast<QWidget*>(form->Button1)
                                         : static_cast<QWidget*>(form->RichEdit1);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(form->isVisible()) << control;
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(TranslateFormTest, LinkOpensTheTranslationPageAndTheCreditCanBeCopied) {
    Open(QString());
    QTest::mouseClick(form->Label3, Qt::LeftButton);
    EXPECT_EQ(opened, QList({QUrl(QStringLiteral("https://vendor.example.org/translation/"))}));

    Choose(QStringLiteral("German"));
    QApplication::clipboard()->clear();
    form->SelectAll1->trigger();
    form->Copy1->trigger();
    EXPECT_EQ(QApplication::clipboard()->text().replace(QChar::ParagraphSeparator, u'\n'),
              QStringLiteral("Anna Schmidt\nBernd Maier\n\nCarla Weiss"));
    EXPECT_EQ(form->PopupMenu1->actions().size(), 2);
}

TEST(MessageDlgCaptionsTest, TheBoxCarriesOurTitleAndButtonCaptions) {
    MessageRequest request;
    request.Icon = QMessageBox::Question;
    request.Title = QStringLiteral("Best\u00e4tigung");
    request.Text = QStringLiteral("First.\r\rSecond.");
    request.Buttons = {QMessageBox::Yes, QMessageBox::No};
    request.Captions = {QStringLiteral("Ja"), QStringLiteral("Nein")};
    const std::unique_ptr<QMessageBox> box = CreateMessageDlg(nullptr, request);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Best\u00e4tigung"));
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->text(), QStringLiteral("First.\n\nSecond."));
    EXPECT_EQ(box->button(QMessageBox::Yes)->text(), QStringLiteral("Ja"));
    EXPECT_EQ(box->button(QMessageBox::No)->text(), QStringLiteral("Nein"));
    EXPECT_EQ(box->buttons().size(), 2);

    // Shown for real and answered like a user would: Escape is No.
    QMessageBox::StandardButton result = QMessageBox::NoButton;
    QTimer::singleShot(0, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            QTest::keyClick(modal, Qt::Key_Escape);
    });
    result = MessageDlgCaptions(nullptr, request.Text, request.Icon, request.Buttons, request.Title,
                                request.Captions);
    EXPECT_EQ(result, QMessageBox::No);
}

// The standard dialogs, answered the way a user would answer them.
#include "app/FileDialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs `answer` on the file dialog once it is open.
void WhenDialogOpens(std::function<void(QFileDialog*)> answer) {
    QTimer::singleShot(0, [answer] {
        QFileDialog* dialog = nullptr;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                return dialog != nullptr;
            },
            5000));
        if (dialog)
            answer(dialog);
    });
}

// Presses the dialog's accept button ("Select", "Open").
void ClickAccept(QFileDialog* dialog) {
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    ASSERT_TRUE(buttons);
    QPushButton* accept = buttons->button(QDialogButtonBox::Open);
    ASSERT_TRUE(accept);
    EXPECT_EQ(accept->text(), dialog->labelText(QFileDialog::Accept));
    ASSERT_TRUE(accept->isEnabled());
    accept->click();
}

} // namespace

TEST(FileDialogs, AddFolderPicksSeveralFoldersAtOnce) {
    QTemporaryDir root;
    for (const char* name : {"Album A", "Album B", "Album C"})
        QDir(root.path()).mkdir(QString::fromUtf8(name));

    QString title;
    QString acceptLabel;
    WhenDialogOpens([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        acceptLabel = dialog->labelText(QFileDialog::Accept);
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_TRUE(view);
        auto* model = qobject_cast<QFileSystemModel*>(view->model());
        ASSERT_TRUE(model);
        const QModelIndex folder = model->index(root.path());
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(folder) == 3; }, 5000));
        model->sort(0);
        for (int row : {0, 2})
            view->selectionModel()->select(model->index(row, 0, folder),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        ClickAccept(dialog);
    });
    const QStringList folders = FileDialogs::Standard().PickFolders(nullptr, root.path());
    EXPECT_EQ(title, u"Select folder:");
    EXPECT_EQ(acceptLabel, u"Select");
    EXPECT_EQ(folders, (QStringList{root.filePath(QStringLiteral("Album A")),
                                    root.filePath(QStringLiteral("Album C"))}));
}

TEST(FileDialogs, AddFolderCancelledPicksNothing) {
    QTemporaryDir root;
    WhenDialogOpens([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_TRUE(FileDialogs::Standard().PickFolders(nullptr, root.path()).isEmpty());
}

TEST(FileDialogs, AddFilesOffersTheFiltersAndReturnsSeveralFiles) {
    QTemporaryDir root;
    for (const char* name : {"a.mp3", "b.opus", "notes.txt"}) {
        QFile file(root.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QStringList filters{QStringLiteral("Supported Files (*.mp3 *.opus)"),
                              QStringLiteral("All Files (*)")};
    QStringList offered;
    QString selected;
    WhenDialogOpens([&](QFileDialog* dialog) {
        offered = dialog->nameFilters();
        selected = dialog->selectedNameFilter();
        dialog->setDirectory(root.path());
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("\"a.mp3\" \"b.opus\""));
        ClickAccept(dialog);
    });
    const QStringList files = FileDialogs::Standard().OpenFiles(nullptr, filters);
    EXPECT_EQ(offered, filters);
    EXPECT_EQ(selected, filters[0]);
    EXPECT_EQ(files, (QStringList{root.filePath(QStringLiteral("a.mp3")),
                                  root.filePath(QStringLiteral("b.opus"))}));
}

// The spectrum panel: follows the chosen row, renders its spectrogram once
// per change, and saves what it shows.
#include "app/AppForm.h"
#include "app/AppValues.h"
#include "app/ResultList.h"
#include "app/SpectrumPanel.h"
#include "platform/BusyCursor.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QSplitter>
#include <QStatusBar>
#include <exception>

namespace {

PanelLegend PanelLegendFor(const std::optional<QualityAndSource>& result) {
    if (!result)
        return {};
    return {result->Quality.SampleRate, result->Quality.CutoffHz};
}

} // namespace

void TAppForm::TimerDrawItemTimer() {
    // A render lets pending events run to show the busy cursor; a tick among
    // them must not start a second render underneath the first.
    if (m_inItemChanged)
        return;
    const int row = ListView1->chosenRow();
    if (row < 0)
        return;
    // A row still waiting for its analysis is looked at once it is complete.
    if (ListView1->item(row, TResultList::colFilename) == m_pendingRow)
        return;
    const QString caption = ListView1->caption(row);
    if (caption == LastDrawnFile)
        return;
    LastDrawnFile = caption;
    ListViewItemChanged();
}

void TAppForm::ListViewItemChanged() {
    const int row = ListView1->chosenRow();
    if (row < 0)
        return;
    const QString path = ListView1->caption(row);
    if (IsNothingToDrawBitrate(ListView1->subItem(row, 0))) {
        hidePanel();
        return;
    }
    m_inItemChanged = true;
    auto done = qScopeGuard([this] { m_inItemChanged = false; });
    BusyCursorGuard cursor;
    QCoreApplication::processEvents();
    const qint64 shownBefore = SpectrogramBMP.cacheKey();
    try {
        m_environment.RenderSpectrogram(path, SpectrogramBMP);
    } catch (const std::exception& error) {
        // Out of memory on a very long file: say so and keep the old picture.
        StatusBar1->showMessage(QStringLiteral("Could not draw the spectrogram: %1")
                                    .arg(QString::fromLocal8Bit(error.what())),
                                8000);
    }
    // The scale and cutoff follow the picture: a failed render keeps both.
    if (SpectrogramBMP.cacheKey() != shownBefore)
        PaintBox1->setLegend(PanelLegendFor(ListView1->rowResult(row)));
    PaintBox1->bitmapChanged();
    if (PaintBox1->isHidden())
        showPanel();
}

void TAppForm::showPanel() {
    PaintBox1->show();
    Splitter1->refresh(); // lay out the handle now, not on the next pass of the event loop
    const int available = Splitter1->height() - Splitter1->handleWidth();
    const int panel = std::clamp(m_panelHeight, PaintBox1->minimumHeight(),
                                 std::max(PaintBox1->minimumHeight(), available - 40));
    Splitter1->setSizes({available - panel, panel});
}

void TAppForm::hidePanel() {
    PaintBox1->hide();
    Splitter1->refresh();
}

void TAppForm::Save1Click() {
    const QString fileName = m_environment.Dialogs.SavePng(this);
    if (fileName.isEmpty())
        return;
    try {
        SavePanelAsPng(*PaintBox1, fileName);
    } catch (const std::exception& error) {
        m_environment.ShowError(this, QStringLiteral("Could not save \"%1\":\n%2")
                                          .arg(fileName, QString::fromUtf8(error.what())));
    }
}

// The spectrum panel: follows the chosen row, renders its spectrogram once
// per change, and saves what it shows.
#include "app/AppForm.h"
#include "app/ResultList.h"
#include "app/SpectrumPanel.h"
#include "platform/BusyCursor.h"

#include <QAction>
#include <QSplitter>
#include <QStatusBar>
#include <exception>
#include <new>

namespace {

PanelLegend PanelLegendFor(const std::optional<QualityAndSource>& result) {
    if (!result)
        return {};
    return {result->Quality.SampleRate, result->Quality.CutoffHz};
}

} // namespace

void TAppForm::TimerDrawItemTimer() {
    const int row = ListView1->chosenRow();
    if (row < 0)
        return;
    // A row still waiting for its analysis is looked at once it is complete.
    if (ListView1->item(row, ResultList::colFilename) == m_pendingRow)
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
    // Whatever is being drawn belongs to a row no longer chosen.
    cancelRender();
    if (IsNothingToDrawBitrate(ListView1->subItem(row, 0))) {
        hidePanel();
        return;
    }
    m_drawnRow = ListView1->item(row, ResultList::colFilename);
    startRender(path, PanelLegendFor(ListView1->rowResult(row)));
    // The panel shows up at once, with the picture it had and a note that a
    // new one is coming (blank when the first render has not come in yet).
    if (PaintBox1->isHidden())
        showPanel();
}

void TAppForm::startRender(const QString& path, const PanelLegend& legend) {
    const quint64 number = ++m_renderNumber;
    m_drawing = true;
    m_drawnLegend = legend;
    if (!m_renderCursor)
        m_renderCursor = std::make_unique<BusyCursorGuard>();
    PaintBox1->setDrawing(true);
    // The picture shown is an earlier row's until this one is in; saving it
    // now would name it after the wrong file.
    Save1->setEnabled(false);
    m_renders.emplace(number,
                      std::jthread([this, number, path, render = m_environment.RenderSpectrogram](
                                       std::stop_token stop) {
                          SpectrogramRender result;
                          QString raised;
                          try {
                              result = render(path, stop);
                          } catch (const std::bad_alloc&) {
                              result.error = SpectrogramError::OutOfMemory;
                          } catch (const std::exception& error) {
                              result.error = SpectrogramError::CannotDecode;
                              raised = QString::fromLocal8Bit(error.what());
                          }
                          // Delivered even when stopped, so the thread is joined and let go.
                          QMetaObject::invokeMethod(
                              this,
                              [this, number, result = std::move(result), raised]() mutable {
                                  renderFinished(number, std::move(result), raised);
                              },
                              Qt::QueuedConnection);
                      }));
}

void TAppForm::renderFinished(quint64 number, SpectrogramRender render, const QString& raised) {
    if (auto thread = m_renders.find(number); thread != m_renders.end()) {
        thread->second.join(); // it has delivered: nothing is left for it to do
        m_renders.erase(thread);
    }
    if (number != m_renderNumber || !m_drawing)
        return; // given up: a newer choice, Clear or Delete came first
    endDrawing();
    if (render.ok()) {
        SpectrogramBMP = std::move(render.picture);
        // The scale and cutoff follow the picture: a failed render keeps both.
        PaintBox1->setLegend(m_drawnLegend);
        PaintBox1->bitmapChanged();
        return;
    }
    // The decoder's refusals say nothing, as before; running out of memory
    // on a very long file is worth a word. The old picture stays either way.
    if (render.error == SpectrogramError::OutOfMemory || !raised.isEmpty())
        StatusBar1->showMessage(QStringLiteral("Could not draw the spectrogram: %1")
                                    .arg(raised.isEmpty() ? render.errorText() : raised),
                                8000);
}

bool TAppForm::cancelRender() {
    if (!m_drawing)
        return false;
    if (auto thread = m_renders.find(m_renderNumber); thread != m_renders.end())
        thread->second.request_stop(); // it returns at its next frame or read
    ++m_renderNumber;
    endDrawing();
    return true;
}

void TAppForm::endDrawing() {
    m_drawing = false;
    m_drawnRow = nullptr;
    m_renderCursor.reset();
    PaintBox1->setDrawing(false);
    Save1->setEnabled(true);
}

void TAppForm::dropRenderOf(const QList<int>& removedRows) {
    if (!m_drawing || !m_drawnRow)
        return;
    const int drawn = m_drawnRow->row();
    if (!removedRows.contains(drawn))
        return;
    cancelRender();
    // The picture shown is not that file's: the same path chosen again, once
    // added anew, is drawn.
    LastDrawnFile.clear();
}

void TAppForm::stopRenders() {
    cancelRender();
    for (auto& [number, thread] : m_renders)
        thread.request_stop();
    m_renders.clear(); // joins each: they return within a frame or a read
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

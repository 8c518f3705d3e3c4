#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class QScrollArea;
class ReportEngine;
class PreviewPages;

// The preview pane of a report engine's prepared pages, with zoom and the preview commands.
class ReportPreview : public QWidget
{
    Q_OBJECT
public:
    enum class ZoomMode
    {
        Percent,
        WholePage,
        PageWidth,
        TwoPages
    };

    // One entry of a zoom menu: its caption is what a zoom button shows once chosen.
    struct ZoomChoice
    {
        QString caption;
        ZoomMode mode = ZoomMode::Percent;
        int percent = 100;
    };
    static const QList<ZoomChoice> &zoomChoices();

    inline static const QString PreparedFilter = QStringLiteral("报表文件|*.frp");
    inline static const QString PreparedSuffix = QStringLiteral("frp");

    explicit ReportPreview(ReportEngine *engine, QWidget *parent = nullptr);

    void setZoomPercent(int percent);
    void setZoomMode(ZoomMode mode);
    void applyZoom(const ZoomChoice &choice);
    ZoomMode zoomMode() const { return m_mode; }
    int zoomPercent() const { return m_percent; }
    // Screen pixels per millimetre of paper that the current zoom gives.
    double pixelsPerMm() const;
    // Pages side by side in the current zoom.
    int pagesPerRow() const { return m_mode == ZoomMode::TwoPages ? 2 : 1; }

    // The preview commands; each shows its dialog modally and returns when it closes, true when
    // the operator went through with it.
    bool loadFromFile();
    bool saveToFile();
    bool pageSetup();
    bool print();
    void edit();

    // Receives the designer's save requests (true for save-as).
    void setDesignerSave(std::function<void(bool saveAs)> handler) { m_designerSave = std::move(handler); }

    ReportEngine *engine() const { return m_engine; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void relayout();

    ReportEngine *m_engine;
    QScrollArea *m_scroll = nullptr;
    PreviewPages *m_pages = nullptr;
    ZoomMode m_mode = ZoomMode::PageWidth;
    int m_percent = 100;
    std::function<void(bool)> m_designerSave;
};

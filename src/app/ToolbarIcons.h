#pragma once

#include <QIcon>
#include <QIconEngine>

// The toolbar's icons and the program's logo, drawn with QPainter at whatever
// size is asked for, so they stay crisp at any scale without an image file.
class ToolbarIcons : public QIconEngine {
public:
    enum class Kind { Exit, CommConfig, MeterConfig, MeterManager, MeterInterface, RealtimeChart, Logo };

    static QIcon icon(Kind kind);

    explicit ToolbarIcons(Kind kind) : kind(kind) {}
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override { return new ToolbarIcons(kind); }
    QString key() const override { return QStringLiteral("quorvane-painted"); }

private:
    // Each drawing works on a 32 x 32 grid that paint() scales to the rect.
    void drawExit(QPainter &p) const;
    void drawCommConfig(QPainter &p) const;
    void drawMeterConfig(QPainter &p) const;
    void drawMeterManager(QPainter &p) const;
    void drawMeterInterface(QPainter &p) const;
    void drawRealtimeChart(QPainter &p) const;
    void drawLogo(QPainter &p) const;
    QColor tone(QColor colour) const;

    Kind kind;
    bool disabled = false;
};

#include "MacRootView.h"

#include "Assets.h"
#include "StationCatalogue.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int artworkSide = 240;
constexpr qreal artworkCornerRadius = 12;
constexpr int volumeSteps = 1000;

// The 240 x 240 artwork: the placeholder when nothing plays, else `image` fitted inside.
QPixmap artworkPixmap(const QImage &image, bool playing, const QPalette &palette, qreal dpr)
{
    QPixmap pixmap(QSize(artworkSide, artworkSide) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF frame(0, 0, artworkSide, artworkSide);
    QPainterPath clip;
    clip.addRoundedRect(frame, artworkCornerRadius, artworkCornerRadius);
    painter.setClipPath(clip);

    if (!playing) {
        QColor fill = palette.color(QPalette::PlaceholderText);
        fill.setAlphaF(0.15F);
        painter.fillRect(frame, fill);
        QFont font = painter.font();
        font.setPixelSize(48);
        painter.setFont(font);
        painter.setOpacity(0.5);
        painter.setPen(palette.color(QPalette::WindowText));
        painter.drawText(frame, Qt::AlignCenter, QString(QChar(0x266A)));
    } else if (!image.isNull()) {
        const QSizeF fitted = QSizeF(image.size()).scaled(frame.size(), Qt::KeepAspectRatio);
        QRectF target(QPointF(), fitted);
        target.moveCenter(frame.center());
        painter.drawImage(target, image);
    }
    return pixmap;
}

QFont scaledFont(const QFont &base, qreal factor, QFont::Weight weight)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    font.setWeight(weight);
    return font;
}

} // namespace

MacRootView::MacRootView(QWidget *parent)
    : MacRootView(RadioPlayer::shared(), parent)
{ }

MacRootView::MacRootView(RadioPlayer &player, QWidget *parent)
    : QWidget(parent)
    , m_softorbit(StationCatalogue::softorbit())
    , m_radiobeatloom(StationCatalogue::radiobeatloom())
    , m_current(m_softorbit)
    , m_player(player)
    , m_lastTenVM(new LastTenViewModel(this))
{
    setMinimumSize(minimumWindowSize);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildControlBar());
    root->addWidget(buildNowPlayingBlock());
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    root->addWidget(divider);
    root->addWidget(buildLastTenSection(), 1);

    for (auto signal : { &RadioPlayer::isPlayingChanged, &RadioPlayer::nowPlayingChanged,
                         &RadioPlayer::volumeChanged, &RadioPlayer::artworkImageChanged }) {
        connect(&m_player, signal, this, &MacRootView::refresh);
    }
    refresh();
}

QWidget *MacRootView::buildControlBar()
{
    auto *bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("controlBar"));
    bar->setAutoFillBackground(true);
    QPalette barPalette = bar->palette();
    QColor material = barPalette.color(QPalette::Window).darker(106);
    barPalette.setColor(QPalette::Window, material);
    bar->setPalette(barPalette);

    auto *layout = new QHBoxLayout(bar);
    layout->setSpacing(12);

    auto *picker = new QWidget(bar);
    picker->setFixedWidth(360);
    auto *segments = new QHBoxLayout(picker);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    m_stationPicker = new QButtonGroup(this);
    m_stationPicker->setExclusive(true);
    for (const Station *station : { &m_softorbit, &m_radiobeatloom }) {
        auto *segment = new QPushButton(station->name(), picker);
        segment->setCheckable(true);
        segment->setChecked(*station == m_current);
        segment->setFocusPolicy(Qt::NoFocus);
        m_stationPicker->addButton(segment);
        segments->addWidget(segment);
        connect(segment, &QPushButton::clicked, this, [this, station] { selectStation(*station); });
    }
    layout->addWidget(picker);
    layout->addStretch(1);

    m_playPauseButton = new QToolButton(bar);
    m_playPauseButton->setFocusPolicy(Qt::NoFocus);
    connect(m_playPauseButton, &QAbstractButton::clicked, this, &MacRootView::togglePlayback);
    layout->addWidget(m_playPauseButton);
    return bar;
}

QWidget *MacRootView::buildNowPlayingBlock()
{
    auto *block = new QWidget(this);
    auto *layout = new QHBoxLayout(block);
    layout->setSpacing(18);

    m_artwork = new QLabel(block);
    m_artwork->setFixedSize(artworkSide, artworkSide);
    auto *shadow = new QGraphicsDropShadowEffect(m_artwork);
    shadow->setColor(QColor::fromRgbF(0, 0, 0, 0.33F));
    shadow->setBlurRadius(16);
    shadow->setOffset(0, 0);
    m_artwork->setGraphicsEffect(shadow);
    layout->addWidget(m_artwork, 0, Qt::AlignTop);

    auto *column = new QVBoxLayout;
    column->setSpacing(8);
    m_stationName = new QLabel(block);
    m_stationName->setFont(scaledFont(font(), 1.5, QFont::Normal));
    m_stationName->setTextFormat(Qt::PlainText);
    QPalette namePalette = m_stationName->palette();
    QColor nameColor = namePalette.color(QPalette::WindowText);
    nameColor.setAlphaF(0.7F);
    namePalette.setColor(QPalette::WindowText, nameColor);
    m_stationName->setPalette(namePalette);
    column->addWidget(m_stationName);

    m_nowPlayingLine = new QLabel(block);
    QFont lineFont = font();
    lineFont.setPixelSize(28);
    lineFont.setWeight(QFont::DemiBold);
    m_nowPlayingLine->setFont(lineFont);
    m_nowPlayingLine->setTextFormat(Qt::PlainText);
    m_nowPlayingLine->setWordWrap(true);
    column->addWidget(m_nowPlayingLine);

    auto *volumeRow = new QHBoxLayout;
    volumeRow->setSpacing(8);
    volumeRow->setContentsMargins(0, 10, 0, 0);
    volumeRow->addWidget(new QLabel(tr("Volume"), block));
    m_volumeSlider = new QSlider(Qt::Horizontal, block);
    m_volumeSlider->setRange(0, volumeSteps);
    m_volumeSlider->setFixedWidth(280);
    connect(m_volumeSlider, &QSlider::valueChanged, this,
            [this](int value) { m_player.setVolume(static_cast<float>(value) / volumeSteps); });
    volumeRow->addWidget(m_volumeSlider);
    volumeRow->addStretch(1);
    column->addLayout(volumeRow);
    column->addStretch(1);

    layout->addLayout(column, 1);
    return block;
}

QWidget *MacRootView::buildLastTenSection()
{
    auto *section = new QWidget(this);
    auto *layout = new QVBoxLayout(section);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *header = new QLabel(tr("Last 10"), section);
    header->setFont(scaledFont(font(), 1.1, QFont::DemiBold));
    const int inset = style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    header->setContentsMargins(inset, inset, inset, 0);
    layout->addWidget(header);
    m_lastTenList = new QListWidget(section);
    m_lastTenList->setMinimumHeight(220);
    m_lastTenList->setFrameShape(QFrame::NoFrame);
    m_lastTenList->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(m_lastTenList, 1);
    return section;
}

void MacRootView::selectStation(const Station &station)
{
    if (station == m_current)
        return;
    m_current = station;
    refresh();
}

void MacRootView::togglePlayback()
{
    if (m_player.isPlaying())
        m_player.pause();
    else
        m_player.play(m_current);
}

void MacRootView::refresh()
{
    const bool playing = m_player.isPlaying();
    m_playPauseButton->setIcon(
        style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_playPauseButton->setToolTip(playing ? tr("Pause") : tr("Play"));

    QImage image = m_player.artworkImage();
    if (image.isNull())
        image = Assets::image(m_current.artworkName());
    m_artwork->setPixmap(artworkPixmap(image, playing, palette(), devicePixelRatioF()));

    m_stationName->setText(m_current.name());
    const QString nowPlaying = m_player.nowPlaying();
    m_nowPlayingLine->setText(nowPlaying.isEmpty() ? m_current.name() : nowPlaying);

    const QSignalBlocker blocker(m_volumeSlider);
    m_volumeSlider->setValue(qRound(m_player.volume() * volumeSteps));
}

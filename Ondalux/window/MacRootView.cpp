#include "MacRootView.h"

#include "AirPlayRoutePicker.h"
#include "Assets.h"
#include "ElidedLabel.h"
#include "HttpSession.h"
#include "LastTenList.h"
#include "NowPlayingArtwork.h"
#include "OutputDevices.h"
#include "StationCatalogue.h"
#include "StationPicker.h"
#include "WindowAccessibility.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int volumeSteps = 1000;
constexpr int nowPlayingPixelSize = 28;
constexpr int nowPlayingLines = 3;

int defaultInset(const QWidget *widget)
{
    return widget->style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
}

QFont sizedFont(const QFont &base, qreal factor, QFont::Weight weight)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    font.setWeight(weight);
    return font;
}

// Qt announces every assignment of an accessible name or description as a change, so a refresh
// that changed nothing would have a screen reader read the control again.
void setAccessibleText(QWidget *widget, const QString &name, const QString &description)
{
    if (widget->accessibleName() != name)
        widget->setAccessibleName(name);
    if (widget->accessibleDescription() != description)
        widget->setAccessibleDescription(description);
}

// The bar behind the controls: the window colour, slightly see-through, with a hairline below.
class ControlBar : public QFrame
{
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QColor fill = palette().color(QPalette::Window).darker(104);
        fill.setAlphaF(0.85F);
        painter.fillRect(rect(), fill);
        QColor line = palette().color(QPalette::WindowText);
        line.setAlphaF(0.12F);
        painter.fillRect(QRect(0, height() - 1, width(), 1), line);
    }
};

} // namespace

MacRootView::MacRootView(QWidget *parent)
    : MacRootView(RadioPlayer::shared(), Clock::system(), HttpSession::shared(),
                  StationCatalogue::softorbit(), StationCatalogue::radiobeatloom(), parent)
{ }

MacRootView::MacRootView(RadioPlayer &player, const Clock &clock, HttpSession &session,
                         Station softorbit, Station radiobeatloom, QWidget *parent)
    : QWidget(parent)
    , m_softorbit(std::move(softorbit))
    , m_radiobeatloom(std::move(radiobeatloom))
    , m_current(m_softorbit)
    , m_player(player)
    , m_lastTenVM(new LastTenViewModel(session, this))
    , m_clock(clock)
    , m_session(session)
    , m_seenNowPlaying(player.nowPlaying())
{
    WindowAccessibility::install();
    setMinimumSize(minimumWindowSize);
    setAccessibleName(tr("Ondalux"));

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildControlBar());
    root->addWidget(buildNowPlayingBlock());
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);
    root->addWidget(divider);
    root->addWidget(buildLastTenSection(), 1);

    for (auto signal : { &RadioPlayer::isPlayingChanged, &RadioPlayer::volumeChanged,
                         &RadioPlayer::artworkImageChanged }) {
        connect(&m_player, signal, this, &MacRootView::refreshControls);
    }
    connect(&m_player, &RadioPlayer::nowPlayingChanged, this, &MacRootView::onNowPlayingChanged);
    connect(m_lastTenVM, &LastTenViewModel::itemsChanged, this, &MacRootView::rebuildRows);
    // The space bar belongs to play/pause, whichever control has the focus.
    qApp->installEventFilter(this);
    // The desktop's play button starts the station shown, as the window's own does.
    m_player.setStationToStart(m_current);
    refreshControls();
}

QWidget *MacRootView::buildControlBar()
{
    auto *bar = new ControlBar(this);
    auto *layout = new QHBoxLayout(bar);
    const int inset = defaultInset(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(12);

    m_picker = new StationPicker({ m_softorbit, m_radiobeatloom }, bar);
    m_picker->setFixedWidth(360);
    m_picker->setSelection(m_current);
    connect(m_picker, &StationPicker::picked, this, &MacRootView::selectStation);
    layout->addWidget(m_picker);
    layout->addStretch(1);
    layout->addWidget(new AirPlayRoutePicker(m_player.player(), OutputDevices::shared(), bar));

    m_playPauseButton = new QToolButton(bar);
    m_playPauseButton->setObjectName(QStringLiteral("playPause"));
    m_playPauseButton->setAutoRaise(false);
    m_playPauseButton->setIconSize(QSize(18, 18));
    connect(m_playPauseButton, &QToolButton::clicked, this, &MacRootView::togglePlayback);
    layout->addWidget(m_playPauseButton);
    return bar;
}

QWidget *MacRootView::buildNowPlayingBlock()
{
    auto *block = new QWidget(this);
    auto *layout = new QHBoxLayout(block);
    const int inset = defaultInset(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(18);

    m_artwork = new NowPlayingArtwork(block);
    layout->addWidget(m_artwork, 0, Qt::AlignVCenter);

    auto *column = new QVBoxLayout;
    column->setSpacing(8);
    m_stationName = new QLabel(block);
    m_stationName->setTextFormat(Qt::PlainText);
    m_stationName->setFont(sizedFont(font(), 1.5, QFont::Normal));
    QPalette faded = m_stationName->palette();
    QColor nameColor = faded.color(QPalette::WindowText);
    nameColor.setAlphaF(0.7F);
    faded.setColor(QPalette::WindowText, nameColor);
    m_stationName->setPalette(faded);
    column->addWidget(m_stationName);

    m_nowPlayingLine = new ElidedLabel(QString(), nowPlayingLines, block);
    QFont lineFont = font();
    lineFont.setPixelSize(nowPlayingPixelSize);
    lineFont.setWeight(QFont::DemiBold);
    m_nowPlayingLine->setFont(lineFont);
    m_nowPlayingLine->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    column->addWidget(m_nowPlayingLine);

    auto *volumeRow = new QHBoxLayout;
    volumeRow->setContentsMargins(0, 10, 0, 0);
    volumeRow->setSpacing(8);
    auto *volumeLabel = new QLabel(tr("Volume"), block);
    volumeRow->addWidget(volumeLabel);
    m_volumeSlider = new QSlider(Qt::Horizontal, block);
    m_volumeSlider->setRange(0, volumeSteps);
    m_volumeSlider->setFixedWidth(280);
    volumeLabel->setBuddy(m_volumeSlider);
    connect(m_volumeSlider, &QSlider::valueChanged, this, [this](int value) {
        // Both ends are exact: 0 and 1000 steps give 0.0 and 1.0.
        m_player.setVolume(static_cast<float>(value) / volumeSteps);
    });
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
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *header = new QLabel(tr("Last 10"), section);
    header->setFont(sizedFont(font(), 1.1, QFont::DemiBold));
    const int inset = defaultInset(this);
    header->setContentsMargins(inset, inset, inset, 0);
    layout->addWidget(header);

    m_lastTenList = new LastTenList(m_session, section);
    m_lastTenList->setAccessibleName(tr("Last 10"));
    m_lastTenList->setMinimumHeight(220);
    layout->addWidget(m_lastTenList, 1);
    return section;
}

void MacRootView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // Reads the station selected when the load starts, not when the window appeared.
    QTimer::singleShot(0, this, [this] { startLoad(m_current.lastTenJSON()); });
}

void MacRootView::selectStation(const Station &station)
{
    if (station == m_current)
        return;
    m_current = station;
    m_picker->setSelection(m_current);
    m_player.play(station);
    const QUrl url = station.lastTenJSON();
    QTimer::singleShot(0, this, [this, url] { startLoad(url); });
    refreshControls();
}

void MacRootView::togglePlayback()
{
    if (m_player.isPlaying())
        m_player.pause();
    else
        m_player.play(m_current);
}

// Reloads the list when a new track is announced while playing, at most once per throttle
// span; a change that comes too soon is dropped, not deferred.
void MacRootView::onNowPlayingChanged()
{
    refreshControls();
    const QString text = m_player.nowPlaying();
    if (text == m_seenNowPlaying)
        return;
    m_seenNowPlaying = text;
    const bool trackChange = !text.isEmpty() && text != m_current.name();
    const double elapsed = secondsBetween(m_lastRefresh, m_clock.now());
    if (!m_player.isPlaying() || !trackChange || elapsed <= refreshThrottleSeconds)
        return;
    m_lastRefresh = m_clock.now();
    QTimer::singleShot(0, this, [this] { startLoad(m_current.lastTenJSON()); });
}

void MacRootView::startLoad(const QUrl &url)
{
    Q_EMIT lastTenLoadStarted(url);
    m_lastTenVM->load(url);
}

void MacRootView::refreshControls()
{
    const bool playing = m_player.isPlaying();
    const QString action = playing ? tr("Pause") : tr("Play");
    m_playPauseButton->setIcon(
        Assets::symbol(playing ? QStringLiteral("pause.fill") : QStringLiteral("play.fill")));
    m_playPauseButton->setToolTip(action);
    setAccessibleText(m_playPauseButton, action,
                      playing ? tr("Playing %1").arg(m_current.name()) : tr("Paused"));

    if (!playing) {
        m_artwork->showPlaceholder();
    } else if (!m_player.artworkImage().isNull()) {
        m_artwork->showImage(m_player.artworkImage(), tr("Cover of %1").arg(m_player.nowPlaying()));
    } else {
        m_artwork->showImage(Assets::image(m_current.artworkName()),
                             tr("%1 artwork").arg(m_current.name()));
    }

    m_stationName->setText(m_current.name());
    const QString nowPlaying = m_player.nowPlaying();
    m_nowPlayingLine->setText(nowPlaying.isEmpty() ? m_current.name() : nowPlaying);

    const QSignalBlocker blocker(m_volumeSlider);
    m_volumeSlider->setValue(qRound(m_player.volume() * volumeSteps));
    setAccessibleText(m_volumeSlider, tr("Volume"),
                      tr("%1 percent").arg(qRound(m_player.volume() * 100)));
}

void MacRootView::rebuildRows()
{
    m_lastTenList->setItems(m_lastTenVM->items(), m_lastTenVM->itemsSource());
}

bool MacRootView::eventFilter(QObject *watched, QEvent *event)
{
    const auto type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    auto *target = qobject_cast<QWidget *>(watched);
    if (key->key() != Qt::Key_Space || target == nullptr || target->window() != window())
        return QWidget::eventFilter(watched, event);
    if (type == QEvent::KeyPress && !key->isAutoRepeat()
        && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        togglePlayback();
    }
    // Eaten either way, so a focused button or slider never takes it, with or without modifiers.
    return true;
}

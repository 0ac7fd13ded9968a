#include "GstStreamPlayer.h"

#include "GstOutputRoute.h"
#include "GstStreamPlayerPrivate.h"
#include "MediaRuntime.h"

#include <QNetworkInformation>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcGst, "ondalux.gst", QtWarningMsg)

using namespace std::chrono_literals;

namespace {

constexpr auto watchdogInterval = 500ms;
constexpr auto positionPollInterval = 40ms;
constexpr auto stateCheckDelay = 300ms;
// Enough to hold a server's connect burst; playback starts long before it is full.
constexpr gint64 bufferDuration = 4 * GST_SECOND;
// In microseconds, as the audio sinks take them.
constexpr gint64 outputSegment = 50'000;
constexpr gint64 outputBuffer = 200'000;
constexpr guint playFlagAudio = 1U << 1;
constexpr guint playFlagSoftVolume = 1U << 4;

} // namespace

GstStreamPlayer::GstStreamPlayer(QObject *parent)
    : GstStreamPlayer(Options{}, parent)
{ }

GstStreamPlayer::GstStreamPlayer(const Options &options, QObject *parent)
    : StreamPlayer(parent)
    , d(std::make_unique<Private>(options))
{
    d->q = this;
    d->streaming->owner = this;
    // Children, so what keeps the player awake can be seen from outside.
    for (QTimer *timer : { &d->retryTimer, &d->watchdog, &d->stateCheck, &d->positionPoll })
        timer->setParent(this);
    d->positionPoll.setObjectName(QStringLiteral("positionPoll"));
    d->retryTimer.setSingleShot(true);
    connect(&d->retryTimer, &QTimer::timeout, this,
            [this] { d->carryOut(d->policy.retryDue(), "the wait is over"); });
    d->watchdog.setInterval(watchdogInterval);
    connect(&d->watchdog, &QTimer::timeout, this, [this] { d->checkWatchdog(); });
    d->stateCheck.setSingleShot(true);
    d->stateCheck.setInterval(stateCheckDelay);
    connect(&d->stateCheck, &QTimer::timeout, this, [this] { d->reconcileState(); });
    d->positionPoll.setInterval(positionPollInterval);
    connect(&d->positionPoll, &QTimer::timeout, this, [this] { d->deliverReached(); });
    d->build();
}

GstStreamPlayer::Private::Private(const Options &given)
    : options(given)
    , policy({ .firstRetryDelay = given.firstRetryDelay,
               .longestRetryDelay = given.longestRetryDelay,
               .stallTimeout = given.stallTimeout,
               .resumeTimeout = given.resumeTimeout,
               .longPause = given.longPause },
             *given.clock)
{ }

GstStreamPlayer::~GstStreamPlayer()
{
    if (d->playbin) {
        // Joins the streaming threads, so no callback outlives the player.
        gst_element_set_state(d->playbin.get(), GST_STATE_NULL);
        gst_bus_set_sync_handler(d->bus.get(), nullptr, nullptr, nullptr);
    }
    delete d->busNotifier;
}

void GstStreamPlayer::Private::build()
{
    const QString error = MediaRuntime::initialize();
    if (!error.isEmpty()) {
        qCWarning(lcGst) << "no media framework:" << error;
        return;
    }
    MediaRuntime::preloadStreamingParts();
    playbin.reset(gst_element_factory_make("playbin", "ondalux-player"));
    if (!playbin) {
        qCWarning(lcGst) << "playbin is missing";
        return;
    }
    gst_object_ref_sink(playbin.get());
    g_object_set(playbin.get(), "flags", playFlagAudio | playFlagSoftVolume, "buffer-duration",
                 bufferDuration, nullptr);

    GstElement *output = gst_element_factory_make(options.audioSink.constData(), "ondalux-output");
    if (output == nullptr)
        output = gst_element_factory_make("autoaudiosink", "ondalux-output");
    if (output != nullptr) {
        sink.reset(GST_ELEMENT(gst_object_ref_sink(output)));
        if (hasProperty(output, "stream-properties")) {
            const gsthandles::Structure properties(gst_structure_new(
                "props", "media.role", G_TYPE_STRING, "music", "application.name", G_TYPE_STRING,
                "Ondalux", "application.icon_name", G_TYPE_STRING, "ondalux", nullptr));
            g_object_set(output, "stream-properties", properties.get(), nullptr);
        }
        // The sound server asks for audio a segment at a time: the default 10 ms segments wake
        // it and us a hundred times a second, larger ones far less often. The buffer stays at
        // its default, so a volume change is heard as soon as before.
        if (hasProperty(output, "latency-time") && hasProperty(output, "buffer-time")) {
            g_object_set(output, "latency-time", outputSegment, "buffer-time", outputBuffer,
                         nullptr);
        }
        if (hasProperty(output, "client-name"))
            g_object_set(output, "client-name", "Ondalux", nullptr);
        // Until an output is chosen, every stream it opens goes where the default is then.
        GstOutputRoute::apply(output, {});
        // Any thread. Many changes of the stream ask for one look from the main thread.
        GstOutputRoute::watch(output, [streaming = streaming] {
            if (streaming->outputCheckPending.exchange(true))
                return;
            GstStreamPlayer *owner = streaming->owner;
            QMetaObject::invokeMethod(
                owner, [owner] { owner->d->checkOutput(); }, Qt::QueuedConnection);
        });
        gsthandles::Pad pad(gst_element_get_static_pad(output, "sink"));
        if (pad) {
            gst_pad_add_probe(pad.get(),
                              static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER
                                                           | GST_PAD_PROBE_TYPE_BUFFER_LIST
                                                           | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                              &Private::onOutputPad, streaming.get(), nullptr);
        }
        g_object_set(playbin.get(), "audio-sink", output, nullptr);
    }

    g_signal_connect(playbin.get(), "source-setup", G_CALLBACK(&Private::onSourceSetup), this);
    // Copies of the shared state ride along with the signal; freed with the connection.
    g_signal_connect_data(
        playbin.get(), "deep-element-added", G_CALLBACK(&Private::onDeepElementAdded),
        new std::shared_ptr<Streaming>(streaming),
        [](gpointer data, GClosure *) { delete static_cast<std::shared_ptr<Streaming> *>(data); },
        GConnectFlags{});

    bus.reset(gst_element_get_bus(playbin.get()));
    gst_bus_set_sync_handler(bus.get(), &Private::onBusSync, streaming.get(), nullptr);
    GPollFD pollFd{};
    gst_bus_get_pollfd(bus.get(), &pollFd);
    busNotifier = new QSocketNotifier(pollFd.fd, QSocketNotifier::Read);
    QObject::connect(busNotifier, &QSocketNotifier::activated, q, [this] { readBus(); });
}

void GstStreamPlayer::replaceCurrentItem(const QUrl &url)
{
    if (!d->playbin)
        return;
    d->stopPipeline();
    d->uri = url.toEncoded();
    g_object_set(d->playbin.get(), "uri", d->uri.constData(), nullptr);
    d->hasItem = true;
    d->policy.newItem();
}

void GstStreamPlayer::play()
{
    if (!d->hasItem)
        return;
    const ReconnectPolicy::Answer answer = d->policy.play(d->streaming->audioBuffers.load());
    d->watchdog.start();
    d->watchNetwork();
    if (answer.action != ReconnectPolicy::Answer::Action::Nothing) {
        d->carryOut(answer, "resumed after a long pause or a lost connection");
    } else if (d->bufferFilled && d->streaming->bufferingFull.load() == 0) {
        // Resumed while the buffer refills after running dry: wait for it as before the pause.
        // The level reports that would say so were already let through once.
        d->bufferingPaused = true;
        d->setState(GST_STATE_PAUSED);
    } else {
        d->setState(GST_STATE_PLAYING);
        if (!d->ahead.empty())
            d->positionPoll.start();
    }
}

void GstStreamPlayer::pause()
{
    if (!d->hasItem)
        return;
    const bool connectionGone = d->policy.retryPending();
    d->policy.pause();
    d->bufferingPaused = false;
    d->watchdog.stop();
    d->positionPoll.stop(); // the position stands still until the resume
    if (connectionGone) {
        // Nothing to pause: the resume makes a new connection.
        d->retryTimer.stop();
        return;
    }
    d->setState(GST_STATE_PAUSED);
}

void GstStreamPlayer::setVolume(float volume)
{
    d->volume = std::isnan(volume) ? 0.0 : std::clamp(static_cast<double>(volume), 0.0, 1.0);
    if (d->playbin)
        g_object_set(d->playbin.get(), "volume", d->volume, nullptr);
}

double GstStreamPlayer::appliedVolume() const
{
    return d->volume;
}

void GstStreamPlayer::setOutputDevice(const QString &name)
{
    d->outputDevice = name;
    if (d->sink) {
        GstOutputRoute::apply(d->sink.get(), name);
        // A paused stream moved to a named output says nothing until it plays again.
        d->checkOutput();
    }
}

QString GstStreamPlayer::outputDevice() const
{
    return d->outputDevice;
}

QString GstStreamPlayer::currentOutput() const
{
    return d->currentOutput;
}

void GstStreamPlayer::Private::checkOutput()
{
    streaming->outputCheckPending = false;
    const QString name = GstOutputRoute::current(sink.get());
    if (name.isEmpty() || name == currentOutput)
        return;
    currentOutput = name;
    Q_EMIT q->currentOutputChanged();
}

void GstStreamPlayer::Private::setState(GstState state)
{
    desiredState = state;
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    if (state == GST_STATE_PAUSED
        && gst_element_get_state(playbin.get(), &current, &pending, 0) == GST_STATE_CHANGE_ASYNC
        && pending == GST_STATE_PLAYING) {
        // Pausing across the start-up's own change of state can leave the pipeline stuck;
        // pause once it has arrived.
        stateCheck.start();
        return;
    }
    if (gst_element_set_state(playbin.get(), state) == GST_STATE_CHANGE_FAILURE) {
        carryOut(policy.refused(), "the pipeline refused to start");
        return;
    }
    stateCheck.start();
}

// A change of state that crosses an asynchronous one in flight can be lost inside the
// pipeline; put it right once the pipeline has settled.
void GstStreamPlayer::Private::reconcileState()
{
    if (desiredState <= GST_STATE_READY || retryTimer.isActive())
        return;
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    if (gst_element_get_state(playbin.get(), &current, &pending, 0) != GST_STATE_CHANGE_SUCCESS) {
        stateCheck.start(); // still on its way
        return;
    }
    if (current != desiredState) {
        qCDebug(lcGst) << "state" << gst_element_state_get_name(current) << "instead of"
                       << gst_element_state_get_name(desiredState);
        setState(desiredState);
    }
}

// Ends the current connection; afterwards nothing of it reaches the main thread.
void GstStreamPlayer::Private::stopPipeline()
{
    retryTimer.stop();
    positionPoll.stop();
    ahead.clear();
    desiredState = GST_STATE_READY;
    stateCheck.stop();
    // Stops the streaming threads first: audio they still push on the way down must count as
    // the old connection's, not as the next one's first.
    gst_element_set_state(playbin.get(), GST_STATE_READY);
    ++streaming->generation;
    if (sink)
        GstOutputRoute::prepare(sink.get());
    gst_bus_set_flushing(bus.get(), TRUE);
    gst_bus_set_flushing(bus.get(), FALSE);
    streaming->bufferingFull = -1;
    {
        const std::lock_guard lock(streaming->mutex);
        streaming->announcements.clear();
    }
    bufferFilled = false;
    bufferingPaused = false;
    audioFlowing = false;
}

void GstStreamPlayer::Private::reconnectNow()
{
    stopPipeline();
    // A stream that ran dry moved playbin on to its next item, which is empty: every later start
    // would fail. The item is set again, so a reconnection always has one.
    g_object_set(playbin.get(), "uri", uri.constData(), nullptr);
    policy.connecting(streaming->audioBuffers.load());
    setState(GST_STATE_PLAYING);
}

void GstStreamPlayer::Private::carryOut(ReconnectPolicy::Answer answer, const char *why)
{
    using Action = ReconnectPolicy::Answer::Action;
    switch (answer.action) {
    case Action::Nothing:
        return;
    case Action::ReconnectNow:
        qCInfo(lcGst) << "reconnecting:" << why;
        reconnectNow();
        return;
    case Action::ReconnectAfter:
        qCInfo(lcGst) << "reconnecting in" << answer.delay.count() << "ms:" << why;
        // While a retry waits the connection is already down.
        if (!retryTimer.isActive())
            stopPipeline();
        retryTimer.start(answer.delay);
        return;
    }
}

void GstStreamPlayer::Private::readBus()
{
    while (GstMessage *raw = gst_bus_pop(bus.get())) {
        const gsthandles::Message message(raw);
        handle(message.get());
    }
}

void GstStreamPlayer::Private::handle(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        qCInfo(lcGst) << "stream error:" << (error != nullptr ? error->message : "unknown");
        g_clear_error(&error);
        connectionFailed("the stream failed");
        break;
    }
    case GST_MESSAGE_EOS:
        connectionFailed("the stream ended");
        break;
    case GST_MESSAGE_BUFFERING: {
        gint percent = 0;
        gst_message_parse_buffering(message, &percent);
        onBuffering(percent);
        break;
    }
    case GST_MESSAGE_CLOCK_LOST:
        if (policy.wantsPlaying() && !bufferingPaused) {
            gst_element_set_state(playbin.get(), GST_STATE_PAUSED);
            setState(GST_STATE_PLAYING);
        }
        break;
    case GST_MESSAGE_LATENCY:
        gst_bin_recalculate_latency(GST_BIN(playbin.get()));
        break;
    default:
        break;
    }
}

// Playback starts at once rather than after the buffer fills; only when a buffer that was
// full runs dry does playback wait for it to fill again.
void GstStreamPlayer::Private::onBuffering(int percent)
{
    if (!policy.wantsPlaying())
        return;
    if (percent >= 100) {
        bufferFilled = true;
        if (bufferingPaused) {
            bufferingPaused = false;
            setState(GST_STATE_PLAYING);
        }
    } else if (bufferFilled && !bufferingPaused) {
        bufferingPaused = true;
        setState(GST_STATE_PAUSED);
    }
}

void GstStreamPlayer::Private::connectionFailed(const char *why)
{
    const bool playing = policy.wantsPlaying();
    carryOut(policy.failed(), why);
    // Nothing is left to put right until the resume, which connects again.
    if (!playing)
        stopPipeline();
}

void GstStreamPlayer::Private::onSourceEnded(quint64 generation)
{
    // With audio flowing, the end reaches the output and is reported from there; before, the
    // stream may still be being typefound, and then nothing else reports it.
    if (generation == streaming->generation && !audioFlowing)
        connectionFailed("the connection ended before any audio");
}

void GstStreamPlayer::Private::onAudioStarted(quint64 generation)
{
    if (generation != streaming->generation)
        return;
    audioFlowing = true;
    policy.audioStarted();
    Q_EMIT q->audioStarted();
}

void GstStreamPlayer::Private::checkWatchdog()
{
    if (!policy.wantsPlaying() || policy.retryPending())
        return;
    reconcileState();
    carryOut(policy.check(streaming->audioBuffers.load()), "no audio arrived");
}

void GstStreamPlayer::Private::watchNetwork()
{
    if (watchingNetwork)
        return;
    watchingNetwork = true;
    if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    QObject::connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, q,
                     [this](QNetworkInformation::Reachability reachability) {
                         if (reachability == QNetworkInformation::Reachability::Online)
                             carryOut(policy.networkBack(), "the network is back");
                     });
}

void GstStreamPlayer::Private::onMarkedAudio(quint64 generation, const QList<quint64> &markers,
                                             GstClockTime streamTime)
{
    if (generation != streaming->generation)
        return;
    for (quint64 marker : markers) {
        Announcement announcement{ generation, streamTime, {} };
        {
            const std::lock_guard lock(streaming->mutex);
            auto found = streaming->announcements.find(marker);
            if (found == streaming->announcements.end())
                continue;
            announcement.groups = std::move(found->second);
            streaming->announcements.erase(found);
        }
        ahead.push_back(std::move(announcement));
    }
    deliverReached();
    if (!ahead.empty())
        positionPoll.start();
}

// Announces what the audio being heard now carried.
void GstStreamPlayer::Private::deliverReached()
{
    gint64 position = 0;
    const bool known = gst_element_query_position(playbin.get(), GST_FORMAT_TIME, &position);
    while (!ahead.empty()) {
        const Announcement &next = ahead.front();
        // Without a position, announcing late beats never announcing.
        if (known && GST_CLOCK_TIME_IS_VALID(next.streamTime)
            && static_cast<GstClockTime>(position) < next.streamTime)
            break;
        const QList<TimedMetadataGroup> groups = next.groups;
        ahead.pop_front();
        Q_EMIT q->timedMetadata(groups);
    }
    if (ahead.empty())
        positionPoll.stop();
}

quint64 GstStreamPlayer::audioBuffersPlayed() const
{
    return d->streaming->audioBuffers.load();
}

std::chrono::milliseconds GstStreamPlayer::position() const
{
    gint64 position = 0;
    if (!d->playbin || !gst_element_query_position(d->playbin.get(), GST_FORMAT_TIME, &position))
        return std::chrono::milliseconds(-1);
    return std::chrono::milliseconds(position / GST_MSECOND);
}

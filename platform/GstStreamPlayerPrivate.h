#pragma once

// What GstStreamPlayer's main-thread and streaming-thread halves share. Internal to it.

#include "GstHandles.h"
#include "GstStreamPlayer.h"
#include "GstTimedMetadata.h"
#include "ReconnectPolicy.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <deque>
#include <gio/gio.h>
#include <mutex>
#include <unordered_map>

Q_DECLARE_LOGGING_CATEGORY(lcGst)

// Travels down the pipeline in front of the audio that followed a metadata update.
inline constexpr char markerName[] = "ondalux-timed-metadata";

inline bool hasProperty(gpointer object, const char *name)
{
    return g_object_class_find_property(G_OBJECT_GET_CLASS(object), name) != nullptr;
}

// What the streaming threads share with the main thread. Streaming-thread code reads it,
// posts to the main thread, and touches nothing else of the player.
struct Streaming
{
    GstStreamPlayer *owner = nullptr;
    std::atomic<quint64> generation{ 0 };
    std::atomic<quint64> audioBuffers{ 0 };
    std::atomic<quint64> nextMarker{ 0 };
    // Whether the last buffering level let through to the main thread was full: -1 before any.
    std::atomic<int> bufferingFull{ -1 };
    std::atomic<bool> outputCheckPending{ false };

    std::mutex mutex;
    std::unordered_map<quint64, QList<TimedMetadataGroup>> announcements; // by marker

    // Output pad only, on its streaming thread.
    quint64 outputGeneration = ~quint64(0);
    bool audioReported = false;
    QList<quint64> markersAhead;
};

// One source pad of an element whose tag events may be announcements; lives with the probe.
struct TagWatch
{
    std::shared_ptr<Streaming> streaming;
    GstTimedMetadata::Source source;
    guint32 lastSeqnum = GST_SEQNUM_INVALID;
    QList<TimedMetadataGroup> lastGroups;
    quint64 lastGeneration = 0; // the connection lastGroups came on
    QList<quint64> unmarked; // announcements waiting for the next buffer to mark
};

// The network source's output pad, on its streaming thread; lives with the probe.
struct SourceWatch
{
    std::shared_ptr<Streaming> streaming;
    QByteArray declaredCaps; // what the server's Content-Type names, when it is audio
    bool typed = false; // the source has said what its output is
};

struct GstStreamPlayer::Private
{
    struct Announcement
    {
        quint64 generation = 0;
        GstClockTime streamTime = GST_CLOCK_TIME_NONE;
        QList<TimedMetadataGroup> groups;
    };

    explicit Private(const Options &options);

    GstStreamPlayer *q = nullptr;
    Options options;
    ReconnectPolicy policy;
    gsthandles::Element playbin;
    gsthandles::Element sink;
    gsthandles::Bus bus;
    std::shared_ptr<Streaming> streaming = std::make_shared<Streaming>();
    QSocketNotifier *busNotifier = nullptr;

    bool hasItem = false;
    QByteArray uri; // the current item's
    bool bufferFilled = false;
    bool bufferingPaused = false;
    bool audioFlowing = false; // the current connection's audio has reached the output
    double volume = 1.0;
    QString outputDevice;
    QString currentOutput;

    GstState desiredState = GST_STATE_NULL;
    QTimer stateCheck;
    QTimer retryTimer;
    QTimer watchdog;
    QTimer positionPoll;
    std::deque<Announcement> ahead;
    bool watchingNetwork = false;

    // Main thread.
    void build();
    void setState(GstState state);
    void reconcileState();
    void stopPipeline();
    void reconnectNow();
    void carryOut(ReconnectPolicy::Answer answer, const char *why);
    void connectionFailed(const char *why);
    void readBus();
    void handle(GstMessage *message);
    void onBuffering(int percent);
    void onAudioStarted(quint64 generation);
    void onSourceEnded(quint64 generation);
    void onMarkedAudio(quint64 generation, const QList<quint64> &markers, GstClockTime streamTime);
    void checkWatchdog();
    void deliverReached();
    void watchNetwork();
    void checkOutput();

    // Streaming threads.
    static void onSourceSetup(GstElement *playbin, GstElement *source, gpointer self);
    static void onDeepElementAdded(GstBin *, GstBin *, GstElement *element, gpointer self);
    static void onPadAdded(GstElement *element, GstPad *pad, gpointer watchSource);
    static void onIcyPadAdded(GstElement *icyDemuxer, GstPad *pad, gpointer);
    static GstPadProbeReturn onSourcePad(GstPad *pad, GstPadProbeInfo *info, gpointer watch);
    static void watchTags(GstPad *pad, const std::shared_ptr<Streaming> &streaming,
                          GstTimedMetadata::Source source);
    static GstPadProbeReturn onTagPad(GstPad *pad, GstPadProbeInfo *info, gpointer watch);
    static GstBusSyncReply onBusSync(GstBus *bus, GstMessage *message, gpointer streaming);
    static GstPadProbeReturn onOutputPad(GstPad *pad, GstPadProbeInfo *info, gpointer streaming);
};

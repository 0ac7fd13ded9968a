// The least a program needs for what Ondalux does, each part from the library Ondalux uses for
// it: a Qt Widgets window (label, slider, button, a list of ten), a name on the session bus, one
// HTTPS document through QtNetwork, and, once it gets SIGUSR1, the stream through playbin to the
// sound server (its MP3 and AAC decoders ranked first, as ours are), or with --mp3-pipeline
// through the fewest elements that play MP3 with titles. bench/compare reads its peak memory idle
// and playing as the floor beneath ours.
#include <QApplication>
#include <QDBusConnection>
#include <QLabel>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <gst/gst.h>

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t playRequested = 0;

void requestPlay(int)
{
    playRequested = 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2 || (argc == 3 && qstrcmp(argv[2], "--mp3-pipeline") != 0) || argc > 3) {
        std::fprintf(stderr, "usage: %s URL [--mp3-pipeline]\n", argv[0]);
        return 2;
    }
    const QByteArray url = argv[1];
    const bool mp3Pipeline = argc == 3;
    std::signal(SIGUSR1, requestPlay);
    QApplication app(argc, argv);

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Softorbit\nA title\nAn artist")));
    layout->addWidget(new QSlider(Qt::Horizontal));
    layout->addWidget(new QPushButton(QStringLiteral("Play")));
    auto *list = new QListWidget;
    for (int i = 1; i <= 10; ++i)
        list->addItem(QStringLiteral("Track %1").arg(i));
    layout->addWidget(list);
    window.resize(460, 720);
    window.show();

    QDBusConnection::sessionBus().registerService(QStringLiteral("org.mpris.MediaPlayer2.floor"));

    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(QString::fromLatin1(url))));
    QObject::connect(reply, &QNetworkReply::readyRead, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);

    GstElement *stream = nullptr;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!playRequested || stream)
            return;
        gst_init(nullptr, nullptr);
        // libav, tens of megabytes of codecs, would otherwise decode MP3 and AAC
        for (const char *small : { "mpg123audiodec", "faad" }) {
            if (GstPluginFeature *decoder
                = gst_registry_lookup_feature(gst_registry_get(), small)) {
                gst_plugin_feature_set_rank(decoder, GST_RANK_PRIMARY + 1);
                gst_object_unref(decoder);
            }
        }
        if (mp3Pipeline) {
            const QByteArray description = "souphttpsrc location=" + url
                + " ! icydemux ! mpegaudioparse ! mpg123audiodec ! audioconvert ! volume ! "
                  "pulsesink";
            stream = gst_parse_launch(description.constData(), nullptr);
        } else {
            stream = gst_element_factory_make("playbin", nullptr);
            g_object_set(stream, "uri", url.constData(), "flags", 0x2 | 0x10,
                         nullptr); // audio, soft volume
        }
        gst_element_set_state(stream, GST_STATE_PLAYING);
    });
    poll.start(20);

    const int status = QApplication::exec();
    if (stream) {
        gst_element_set_state(stream, GST_STATE_NULL);
        gst_object_unref(stream);
    }
    return status;
}

// The tests' own notification server: owns org.freedesktop.Notifications on the session bus that
// DBUS_SESSION_BUS_ADDRESS names and appends every Notify call to the record file (argv[1]), one line
// each, tab-separated: application, icon name, summary, body, urgency (-1 without the hint), desktop
// entry, width and height of the "image-data" picture (0 0 without one). The file is created once the
// name is owned. On a display each notification is also shown in a window of its own, "Notificação",
// stacked in the upper right corner, with the picture the program sent. "--body-markup" makes it say that
// it reads bodies as markup, as GNOME's does.
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

namespace {

const QString kName = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

QString Escaped(QString text) {
  return text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
      .replace(QLatin1Char('\t'), QStringLiteral("\\t"))
      .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
}

QImage ImageOf(const QVariant& hint) {
  if (!hint.canConvert<QDBusArgument>()) return {};
  const QDBusArgument argument = hint.value<QDBusArgument>();
  int width = 0, height = 0, rowStride = 0, bitsPerSample = 0, channels = 0;
  bool alpha = false;
  QByteArray bytes;
  argument.beginStructure();
  argument >> width >> height >> rowStride >> alpha >> bitsPerSample >> channels >> bytes;
  argument.endStructure();
  if (width <= 0 || height <= 0 || bitsPerSample != 8 || (channels != 3 && channels != 4) ||
      bytes.size() < static_cast<qsizetype>(rowStride) * height)
    return {};
  return QImage(reinterpret_cast<const uchar*>(bytes.constData()), width, height, rowStride,
                channels == 4 ? QImage::Format_RGBA8888 : QImage::Format_RGB888)
      .copy();
}

class Server : public QDBusVirtualObject {
 public:
  Server(QString recordPath, bool bodyMarkup) : recordPath_(std::move(recordPath)), bodyMarkup_(bodyMarkup) {}

  QString introspect(const QString&) const override {
    return QStringLiteral(
        "<interface name=\"org.freedesktop.Notifications\">"
        "<method name=\"Notify\"><arg type=\"s\" direction=\"in\"/><arg type=\"u\" direction=\"in\"/>"
        "<arg type=\"s\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/><arg type=\"s\" "
        "direction=\"in\"/>"
        "<arg type=\"as\" direction=\"in\"/><arg type=\"a{sv}\" direction=\"in\"/>"
        "<arg type=\"i\" direction=\"in\"/><arg type=\"u\" direction=\"out\"/></method>"
        "<method name=\"GetCapabilities\"><arg type=\"as\" direction=\"out\"/></method>"
        "<method name=\"GetServerInformation\"><arg type=\"s\" direction=\"out\"/>"
        "<arg type=\"s\" direction=\"out\"/><arg type=\"s\" direction=\"out\"/>"
        "<arg type=\"s\" direction=\"out\"/></method>"
        "<method name=\"CloseNotification\"><arg type=\"u\" direction=\"in\"/></method>"
        "</interface>");
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    const QString member = message.member();
    if (member == QStringLiteral("GetCapabilities")) {
      QStringList capabilities{QStringLiteral("body")};
      if (bodyMarkup_) capabilities << QStringLiteral("body-markup");
      return connection.send(message.createReply(QVariant(capabilities)));
    }
    if (member == QStringLiteral("GetServerInformation")) {
      return connection.send(
          message.createReply(QVariantList{QStringLiteral("kelmora-test"), QStringLiteral("kelmora"),
                                           QStringLiteral("1"), QStringLiteral("1.2")}));
    }
    if (member == QStringLiteral("CloseNotification")) return connection.send(message.createReply());
    if (member != QStringLiteral("Notify") || message.signature() != QStringLiteral("susssasa{sv}i"))
      return false;
    const QVariantList arguments = message.arguments();
    const QVariantMap hints = qdbus_cast<QVariantMap>(arguments[6]);
    const QImage image = ImageOf(hints.value(QStringLiteral("image-data")));
    const int urgency = hints.contains(QStringLiteral("urgency"))
                            ? static_cast<int>(hints.value(QStringLiteral("urgency")).toUInt())
                            : -1;
    const QString line = QStringList{Escaped(arguments[0].toString()),
                                     Escaped(arguments[2].toString()),
                                     Escaped(arguments[3].toString()),
                                     Escaped(arguments[4].toString()),
                                     QString::number(urgency),
                                     Escaped(hints.value(QStringLiteral("desktop-entry")).toString()),
                                     QString::number(image.width()),
                                     QString::number(image.height())}
                             .join(QLatin1Char('\t')) +
                         QLatin1Char('\n');
    QFile record(recordPath_);
    if (record.open(QIODevice::Append)) record.write(line.toUtf8());
    Show(arguments[3].toString(), arguments[4].toString(), urgency, image);
    return connection.send(message.createReply(QVariant::fromValue(++lastId_)));
  }

 private:
  void Show(const QString& summary, const QString& body, int urgency, const QImage& image) {
    if (QGuiApplication::platformName() == QStringLiteral("offscreen")) return;
    auto* window = new QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Notificação"));
    window->setStyleSheet(
        urgency == 2
            ? QStringLiteral("QWidget { background: #fff4f4; } QWidget#frame { border: 2px solid #c00000; }")
            : QStringLiteral(
                  "QWidget { background: #f4f4ff; } QWidget#frame { border: 2px solid #404080; }"));
    auto* frame = new QWidget(window);
    frame->setObjectName(QStringLiteral("frame"));
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    auto* row = new QHBoxLayout(frame);
    auto* picture = new QLabel(frame);
    picture->setPixmap(QPixmap::fromImage(image));
    picture->setAlignment(Qt::AlignTop);
    row->addWidget(picture);
    auto* text = new QLabel(QStringLiteral("<b>%1</b><br>%2")
                                .arg(summary.toHtmlEscaped(),
                                     body.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"))),
                            frame);
    text->setWordWrap(true);
    text->setFixedWidth(340);
    row->addWidget(text);
    window->adjustSize();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    window->move(screen.right() - window->width() - 8, 40 + shownHeight_);
    shownHeight_ += window->height() + 8;
    window->show();
  }

  QString recordPath_;
  bool bodyMarkup_;
  uint lastId_ = 0;
  int shownHeight_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: notification-recorder RECORD [--body-markup]\n");
    return 2;
  }
  const bool bodyMarkup = argc > 2 && QByteArray(argv[2]) == "--body-markup";
  QDBusConnection bus = QDBusConnection::sessionBus();
  Server server(QString::fromLocal8Bit(argv[1]), bodyMarkup);
  if (!bus.isConnected() || !bus.registerVirtualObject(kPath, &server) || !bus.registerService(kName)) {
    std::fprintf(stderr, "notification-recorder: cannot own %s on the session bus\n", qPrintable(kName));
    return 1;
  }
  QFile record(QString::fromLocal8Bit(argv[1]));
  if (!record.open(QIODevice::WriteOnly)) return 1;
  record.close();
  return QApplication::exec();
}

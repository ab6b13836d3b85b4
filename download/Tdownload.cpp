#include "download/Tdownload.h"

#include "download/JpegDecoder.h"
#include "ui/NamedControls.h"
#include "ui/Prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const char* const pictureResource = ":/pictures/download.jpg";
// The same picture at twice the size, for screens of more than one device
// pixel per logical pixel.
const char* const densePictureResource = ":/pictures/download@2x.jpg";

bool isWritableFolder(const QString& folder) {
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isWritable();
}

} // namespace

Tdownload::Tdownload(Prompter& prompter, std::function<void()> endGame, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_endGame(std::move(endGame)),
      m_url(configuredInstallerUrl()) {
    setObjectName("download");
    setWindowTitle("Download The Orvane Lobby");
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
    m_launch = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
    buildControls();

    m_http.setLocalAddr("0.0.0.0");
    m_http.setAgent("Mozilla/3.0 (compatible)");
    m_http.setAccept("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    m_http.setProxy(QString());
    m_http.setMaxDocSize(MaxInstallerSize);
    m_http.OnHeaderData = [this](THttpCli*, const QByteArray&) {
        setStatus(m_infolabel, m_infolabel->text() + ".");
    };
    m_http.OnDocBegin = [this](THttpCli*) {
        setStatus(m_infolabel3, "Downloading: " + m_infolabel2->text());
    };
    m_http.OnDocData = [this](THttpCli*, qint64 count) {
        setStatus(m_infolabel, QString::number(count) + " bytes");
    };
    m_http.OnRequestDone = [this](THttpCli*, bool ok, int status, const QString&) {
        requestDone(ok, status);
    };

    // A program that is asked to end stops its download first.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                [this] { m_http.abort(); });
}

Tdownload::~Tdownload() {
    m_http.OnRequestDone = nullptr;
    m_http.abort();
    m_file.close();
}

void Tdownload::buildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(6);

    m_Image1 = new QLabel(this);
    m_Image1->setObjectName("Image1");
    m_Image1->setAlignment(Qt::AlignCenter);
    m_Image1->setMinimumSize(300, 90);
    layout->addWidget(m_Image1);

    m_Label1 = namedLabel(this, "Label1",
                          "Download The Orvane Lobby Now to play this  and other exciting games "
                          "online with other players! ");
    layout->addWidget(m_Label1);

    m_getbutton = namedButton(this, "getbutton", "Download And Install The Orvane Lobby Now");
    m_abortbutton = namedButton(this, "abortbutton", "Stop Download");
    m_abortbutton->setEnabled(false);
    layout->addWidget(m_getbutton);
    layout->addWidget(m_abortbutton);

    m_infolabel = namedLabel(this, "infolabel", QString());
    m_infolabel3 = namedLabel(this, "infolabel3", QString());
    m_infolabel2 = namedLabel(this, "infolabel2", QString());
    m_infolabel2->hide();
    // The progress lines keep one line's height, so the window does not
    // jump as they fill and empty.
    for (QLabel* progress : {m_infolabel, m_infolabel3}) {
        progress->setWordWrap(false);
        progress->setAlignment(Qt::AlignCenter);
        progress->setFixedHeight(progress->fontMetrics().height() + 4);
    }
    layout->addWidget(m_infolabel);
    layout->addWidget(m_infolabel3);
    layout->addWidget(m_infolabel2);

    m_Label7 = namedLabel(this, "Label7",
                          "To proceed to the game without the ability to play against others click "
                          "the button below.");
    m_Label3 = namedLabel(this, "Label3",
                          "Note: Even if you are playing offline, you will need to configure your "
                          "FIREWALL to allow the game to access the internet components.");
    m_Button1 = namedButton(this, "Button1", "Play Solo Game");
    m_Button1->setDefault(true);
    layout->addSpacing(6);
    layout->addWidget(m_Label7);
    layout->addWidget(m_Label3);
    layout->addWidget(m_Button1);

    m_Label5 = namedLabel(this, "Label5",
                          "If you already have The Orvane Lobby and you wish to play with others "
                          "then click the button below to close this game and open The Orvane "
                          "Lobby.");
    m_Button2 = namedButton(this, "Button2", "Play with Others");
    layout->addSpacing(6);
    layout->addWidget(m_Label5);
    layout->addWidget(m_Button2);

    setFixedWidth(340);

    connect(m_getbutton, &QPushButton::clicked, this, &Tdownload::getbuttonClick);
    connect(m_abortbutton, &QPushButton::clicked, this, &Tdownload::abortbuttonClick);
    connect(m_Button1, &QPushButton::clicked, this, &Tdownload::Button1Click);
    connect(m_Button2, &QPushButton::clicked, this, &Tdownload::Button2Click);
}

// ---- configuration --------------------------------------------------------

QString Tdownload::defaultInstallerUrl() {
    return QStringLiteral("https://www.orvane.com/downloads/orvanelobbysetup.exe");
}

QString Tdownload::configuredInstallerUrl() {
    const QString fromEnvironment = qEnvironmentVariable("CLIMORA_LOBBY_URL");
    return fromEnvironment.isEmpty() ? defaultInstallerUrl() : fromEnvironment;
}

QStringList Tdownload::installerArguments() {
    return {"/SP-", "/silent", "/noicons"};
}

QString Tdownload::downloadFolder() const {
    if (!m_folder.isEmpty())
        return m_folder;
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (isWritableFolder(programFolder))
        return programFolder;
    for (auto location : {QStandardPaths::DownloadLocation, QStandardPaths::AppDataLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty() && QDir().mkpath(folder) && isWritableFolder(folder))
            return folder;
    }
    return QDir::tempPath();
}

QString Tdownload::lobbyProgram() const {
    if (!m_lobbyPath.isEmpty()) {
        const QFileInfo info(m_lobbyPath);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return QStandardPaths::findExecutable("orvanelobby");
}

// ---- the three ways on ----------------------------------------------------

void Tdownload::getbuttonClick() {
    if (isDownloading())
        return;
    m_abortMark = 1;
    const QString name = QUrl(m_url).fileName();
    m_infolabel2->setText(name);
    setStatus(m_infolabel3, QString());

    bool opened = false;
    if (!name.isEmpty()) {
        m_localPath = QDir(downloadFolder()).filePath(name);
        m_file.setFileName(m_localPath);
        opened = m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    }
    if (!opened) {
        // Nowhere to put the installer: the attempt ends as a failed one.
        setStatus(m_infolabel, "Download Aborted");
        setStatus(m_infolabel3, "Download Aborted");
        m_abortMark = 2;
        return;
    }

    m_getbutton->setEnabled(false);
    m_abortbutton->setEnabled(true);
    setStatus(m_infolabel, "Loading");
    m_http.setURL(m_url);
    m_http.setRcvdStream(&m_file);
    m_http.get();
}

void Tdownload::abortbuttonClick() {
    if (!isDownloading())
        return;
    m_http.abort();
    setStatus(m_infolabel, "Download has been aborted.");
    m_abortMark = 2;
    setStatus(m_infolabel3, "Download Aborted");
}

// Why a download that the server answered with its document cannot be
// started, or an empty text when it is whole: only a file whose length the
// server gave, and which arrived to the last byte, is run.
QString Tdownload::incompleteReason(bool ok, int status) const {
    // A stop by the user, a refusal or a connection that never brought a
    // document end without further words.
    if (m_abortMark == 2 || status < 200 || status >= 300)
        return QString();
    const qint64 length = m_http.contentLength();
    const qint64 received = m_http.rcvdCount();
    if (m_http.plainHttpRefused())
        return QStringLiteral("The download was refused: its address does not use HTTPS. Nothing "
                              "was started.");
    if (m_http.docTooLarge())
        return QStringLiteral("The download was stopped: it is larger than an installer can be. "
                              "Nothing was started.");
    if (length < 0)
        return QStringLiteral("The download was incomplete: the server did not tell its size, so "
                              "it could not be checked. Nothing was started.");
    if (!ok || received != length || QFileInfo(m_localPath).size() != length)
        return QStringLiteral("The download was incomplete: %1 of %2 bytes arrived. Nothing was "
                              "started; please try again.")
            .arg(received)
            .arg(length);
    return QString();
}

void Tdownload::requestDone(bool ok, int status) {
    m_file.close();
    const QString incomplete = incompleteReason(ok, status);
    if (!incomplete.isEmpty())
        ok = false;
    if (ok) {
        setStatus(m_infolabel,
                  "Received " + QString::number(QFileInfo(m_localPath).size()) + " bytes");
    } else {
        setStatus(m_infolabel, "Download Aborted");
        setStatus(m_infolabel3, "Download Aborted");
        m_abortMark = 2;
    }
    m_getbutton->setEnabled(true);
    m_abortbutton->setEnabled(false);
    if (!incomplete.isEmpty())
        m_prompter.message(incomplete);
    if (m_abortMark != 2)
        install();
}

void Tdownload::install() {
    setStatus(m_infolabel3, "Installing");
    QFile::setPermissions(m_localPath, QFile::permissions(m_localPath) | QFileDevice::ExeOwner |
                                           QFileDevice::ExeUser | QFileDevice::ExeGroup |
                                           QFileDevice::ExeOther);
    if (!m_launch(m_localPath, installerArguments())) {
        m_prompter.message("An Error has Occurred.");
        return;
    }
    if (m_endGame)
        m_endGame();
}

void Tdownload::Button2Click() {
    const QString lobby = lobbyProgram();
    if (lobby.isEmpty() && m_playWithOthers) {
        // This window stays on top: it makes way for the one the player wants.
        close();
        m_playWithOthers();
        return;
    }
    if (lobby.isEmpty()) {
        m_prompter.message("Please close the game and open the Orvane Lobby using the icon on "
                           "your desktop or using the your Window's start-up menu.");
        return;
    }
    // A lobby that is there but cannot be started leaves the game running.
    if (!m_launch(lobby, {})) {
        m_prompter.message("An Error has Occurred.");
        return;
    }
    if (m_endGame)
        m_endGame();
}

void Tdownload::Button1Click() {
    close();
}

// ---- presentation ---------------------------------------------------------

void Tdownload::setStatus(QLabel* label, const QString& text) {
    if (label->text() == text)
        return;
    label->setText(text);
    emit statusChanged(label->objectName(), text);
}

void Tdownload::showEvent(QShowEvent* event) {
    // The picture is decoded on the first showing only: most runs never
    // show this window.
    if (!m_pictureLoaded) {
        m_pictureLoaded = true;
        bool dense = devicePixelRatioF() > 1.0;
        QImage picture = dense ? JpegDecoder::decodeFile(densePictureResource) : QImage();
        if (picture.isNull()) {
            dense = false;
            picture = JpegDecoder::decodeFile(pictureResource);
        }
        if (!picture.isNull()) {
            picture.setDevicePixelRatio(dense ? 2.0 : 1.0);
            m_Image1->setPixmap(QPixmap::fromImage(picture));
        }
        // The height the wrapped texts need at the fixed width. adjustSize
        // would stop at two thirds of the screen, which on a small screen
        // (or a large scale factor) lays the texts over the picture.
        QLayout* column = layout();
        resize(width(), column->hasHeightForWidth() ? column->totalHeightForWidth(width())
                                                    : sizeHint().height());
    }
    centreOnDesktop();
    QDialog::showEvent(event);
}

void Tdownload::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (QWidget* owner = parentWidget(); owner && owner->isVisible())
        owner->activateWindow();
}

void Tdownload::centreOnDesktop() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

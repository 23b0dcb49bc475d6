#include "image/cgdiplus.h"

#include "image/codecs/modparsers.h"
#include "image/c32bppdib.h"
#include "image/premultiply.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QObject>

#include <cstring>
#include <mutex>
#include <set>

namespace {

constexpr const char* kSessionOwnerName = "GDI+Safe Patch";

// The running sessions: the image engine's only process-wide state that
// changes. A token is handed from one host window to every image it draws,
// and an image may outlive the window, so only a table common to the whole
// process can tell a live token from a stale one. Tokens are never reused
// within one process run, so a stale token held by an image can never name a
// newer session. The mutex keeps the table whole if images are ever loaded
// off the window's thread.
struct SessionTable {
  std::mutex mutex;
  std::set<uint32_t> active;
  uint32_t nextToken = 1;
};

SessionTable& sessions() {
  static SessionTable table;
  return table;
}

bool serviceCanDecode() {
  static const bool canDecode = QImageReader::supportedImageFormats().contains("png");
  return canDecode;
}

// Ends the session of its token when the host window it is parented to goes.
class SessionOwner : public QObject {
 public:
  SessionOwner(QObject& host, uint32_t token) : QObject(&host), m_token(token) {
    setObjectName(kSessionOwnerName);
    setProperty("gdiToken", static_cast<uint>(token));
  }
  ~SessionOwner() override { cGDIPlus::GdiplusShutdown(m_token); }
  uint32_t token() const { return m_token; }

 private:
  uint32_t m_token;
};

// Copies a decoded picture into host by the engine's rules.
bool fillFromPicture(const QImage& picture, c32bppDIB& host) {
  if (picture.isNull()) return false;
  const QImage straight = picture.convertToFormat(QImage::Format_ARGB32);
  if (straight.isNull() || !host.InitializeDIB(straight.width(), straight.height())) return false;
  const int32_t width = straight.width();
  const int32_t height = straight.height();
  uint8_t* bits = host.BitsPointer();
  for (int32_t y = 0; y < height; ++y) {
    const auto* src = reinterpret_cast<const uint32_t*>(straight.constScanLine(y));
    auto* dst = reinterpret_cast<uint32_t*>(bits + host.pixelOffset(0, y));
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t argb = src[x];
      dst[x] = premul::packBGRA((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, argb >> 24);
    }
  }
  int32_t typeCode = ImageTypeCode::kBlank;
  const bool alpha = modParsers::ClassifyAlpha(host.Bits(), width, false, typeCode);
  host.SetAlphaFlag(alpha);
  host.SetImageTypeCode(ImageTypeCode::kPng);
  return true;
}

QImage readPicture(QIODevice& device) {
  QImageReader reader(&device);
  reader.setAutoTransform(false);
  // The engine's own size limit: the buffer size must fit a signed 32-bit value.
  const QSize size = reader.size();
  if (size.isValid() && static_cast<int64_t>(size.width()) * size.height() * 4 > INT32_MAX) {
    return {};
  }
  return reader.read();
}

}  // namespace

uint32_t cGDIPlus::GdiplusStartup() {
  if (!serviceCanDecode()) return 0;
  SessionTable& table = sessions();
  std::lock_guard lock(table.mutex);
  const uint32_t token = table.nextToken++;
  table.active.insert(token);
  return token;
}

void cGDIPlus::GdiplusShutdown(uint32_t token) {
  SessionTable& table = sessions();
  std::lock_guard lock(table.mutex);
  table.active.erase(token);
}

bool cGDIPlus::isSessionActive(uint32_t token) {
  SessionTable& table = sessions();
  std::lock_guard lock(table.mutex);
  return table.active.count(token) != 0;
}

int cGDIPlus::activeSessionCount() {
  SessionTable& table = sessions();
  std::lock_guard lock(table.mutex);
  return static_cast<int>(table.active.size());
}

bool cGDIPlus::isGDIplusOk(uint32_t* keptToken) {
  const uint32_t token = GdiplusStartup();
  if (token == 0) return false;
  if (keptToken) {
    *keptToken = token;
  } else {
    GdiplusShutdown(token);
  }
  return true;
}

bool cGDIPlus::LoadPictureGDIplus(std::span<const uint8_t> bytes, c32bppDIB& host,
                                  uint32_t gdiToken) {
  ScopedGdiplusSession session(gdiToken);
  if (session.token() == 0 || bytes.empty()) return false;
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  if (!buffer.open(QIODevice::ReadOnly)) return false;
  return fillFromPicture(readPicture(buffer), host);
}

bool cGDIPlus::LoadPictureGDIplus(const QString& fileName, c32bppDIB& host, uint32_t gdiToken) {
  ScopedGdiplusSession session(gdiToken);
  if (session.token() == 0) return false;
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return false;
  return fillFromPicture(readPicture(file), host);
}

uint32_t ManageGDIToken(QObject& host) {
  if (auto* owner = host.findChild<QObject*>(kSessionOwnerName, Qt::FindDirectChildrenOnly)) {
    return owner->property("gdiToken").toUInt();
  }
  const uint32_t token = cGDIPlus::GdiplusStartup();
  if (token == 0) return 0;
  new SessionOwner(host, token);
  return token;
}

ScopedGdiplusSession::ScopedGdiplusSession(uint32_t borrowedToken) {
  if (borrowedToken != 0 && cGDIPlus::isSessionActive(borrowedToken)) {
    m_token = borrowedToken;
  } else {
    m_token = cGDIPlus::GdiplusStartup();
    m_owned = m_token != 0;
  }
}

ScopedGdiplusSession::~ScopedGdiplusSession() {
  if (m_owned) cGDIPlus::GdiplusShutdown(m_token);
}

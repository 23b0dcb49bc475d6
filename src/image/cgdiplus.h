#pragma once
// cGDIPlus: the system image service of this platform, Qt's image classes.
// It loads formats that have no own decoder (QImageReader) and is an optional
// first choice for PNG. Its use is bracketed by sessions identified by a 32-bit
// token (0 = none): an image borrows a token from whoever keeps the session
// alive; an operation given token 0 opens a session of its own for the call.

#include <QString>

#include <cstdint>
#include <span>

class QObject;
class c32bppDIB;

class cGDIPlus {
 public:
  // Starts a session; returns its token, or 0 when the service cannot run.
  static uint32_t GdiplusStartup();
  // Ends the session of the token; unknown tokens and 0 are ignored.
  static void GdiplusShutdown(uint32_t token);
  // True while the token belongs to a running session.
  static bool isSessionActive(uint32_t token);
  // Number of sessions running now (for diagnostics and tests).
  static int activeSessionCount();

  // Availability check: true when the service can decode images and a session
  // can be started. The session started for the check is ended again unless
  // keptToken is given, which then receives it.
  static bool isGDIplusOk(uint32_t* keptToken = nullptr);

  // Decodes bytes (or a file by name) through the service into host: a new image
  // of the picture's size, premultiplied by the engine's rule, alpha classified,
  // type 10. The host is left untouched when nothing could be decoded.
  static bool LoadPictureGDIplus(std::span<const uint8_t> bytes, c32bppDIB& host,
                                 uint32_t gdiToken);
  static bool LoadPictureGDIplus(const QString& fileName, c32bppDIB& host, uint32_t gdiToken);
};

// Keeps one session per host window: the first caller starts it and leaves a
// hidden child object named "GDI+Safe Patch" on the host that ends the session
// when the host is destroyed (after every control on it). Later callers on the
// same host get the same token. Returns 0 when the service cannot run.
uint32_t ManageGDIToken(QObject& host);

// Holds a session for the duration of one operation when the caller had none.
class ScopedGdiplusSession {
 public:
  explicit ScopedGdiplusSession(uint32_t borrowedToken);
  ~ScopedGdiplusSession();
  ScopedGdiplusSession(const ScopedGdiplusSession&) = delete;
  ScopedGdiplusSession& operator=(const ScopedGdiplusSession&) = delete;
  uint32_t token() const { return m_token; }

 private:
  uint32_t m_token = 0;
  bool m_owned = false;
};

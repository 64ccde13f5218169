#pragma once

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

#include <atomic>
#include <memory>

// One HTTP request to one address, sent synchronously with libcurl: a GET,
// or a multipart form POST once a form has been built.
//
// The form is a libcurl MIME form (curl_mime) owned by the downloader and
// bound to its handle. `firstFormPtr` is the form itself (made on first use;
// asking for it makes the request a POST), `lastFormPtr` the part added last
// with `addFormPart` (or recorded with `setLastFormPtr`). Callers fill parts
// with curl_mime_name / curl_mime_data / curl_mime_filename / curl_mime_type.
// `setFirstFormPtr` hands over a form built elsewhere (it must have been
// made for this downloader's handle, see `handle`); the downloader frees it.
// `headerList` is the libcurl list of extra request headers ("Expect:" and
// the like), extended with `appendHeader`; freed with the downloader.
//
// A downloader is used from one thread at a time.
class QKCURLDL {
 public:
  static constexpr double kDefaultConnectTimeout = 15.0;
  static constexpr double kDefaultTimeout = 300.0;

  static std::shared_ptr<QKCURLDL> createWithAddress(const QString& address);
  explicit QKCURLDL(const QString& address);
  ~QKCURLDL();
  QKCURLDL(const QKCURLDL&) = delete;
  QKCURLDL& operator=(const QKCURLDL&) = delete;

  const QString& address() const { return address_; }

  // Seconds allowed to connect, and for the whole transfer.
  void setConnectTimeout(double seconds) { connectTimeout_ = seconds; }
  void setTimeout(double seconds) { timeout_ = seconds; }
  // A transfer under way ends soon after the flag turns true (at quit); the
  // flag must outlive `perform`.
  void setAbortFlag(const std::atomic<bool>* flag) { abort_ = flag; }

  // Sends the request and waits until the transfer is over. Answers whether
  // a complete answer came back (of any HTTP status); a failure is logged
  // and leaves no response data.
  bool perform();

  // The answer's bytes and text: empty (a null string) when nothing came back.
  const QByteArray& responseData() const { return response_; }
  QString responseString() const;
  // The HTTP status of the answer; 0 when none came back.
  long httpStatus() const { return httpStatus_; }
  // libcurl's description of the last failure; empty after a success.
  const QString& errorString() const { return error_; }

  curl_mime* firstFormPtr();
  curl_mimepart* lastFormPtr() const { return lastPart_; }
  void setFirstFormPtr(curl_mime* form);
  void setLastFormPtr(curl_mimepart* part) { lastPart_ = part; }
  curl_mimepart* addFormPart();

  curl_slist* headerList() const { return headers_; }
  bool appendHeader(const QByteArray& header);

  // The libcurl handle, for building a form elsewhere with curl_mime_init.
  CURL* handle() const { return curl_; }

 private:
  static size_t collect(char* data, size_t size, size_t count, void* self);
  static int progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  void fail(const QString& reason);

  QString address_;
  CURL* curl_ = nullptr;
  curl_mime* form_ = nullptr;
  curl_mimepart* lastPart_ = nullptr;
  curl_slist* headers_ = nullptr;
  double connectTimeout_ = kDefaultConnectTimeout;
  double timeout_ = kDefaultTimeout;
  const std::atomic<bool>* abort_ = nullptr;
  QByteArray response_;
  long httpStatus_ = 0;
  QString error_;
};

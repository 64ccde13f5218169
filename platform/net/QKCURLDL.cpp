#include "platform/net/QKCURLDL.h"

#include "platform/foundation/Log.h"

namespace {
constexpr long kMaxRedirects = 5;

long milliseconds(double seconds) { return seconds <= 0 ? 0 : static_cast<long>(seconds * 1000.0); }
}  // namespace

std::shared_ptr<QKCURLDL> QKCURLDL::createWithAddress(const QString& address) {
  return std::make_shared<QKCURLDL>(address);
}

QKCURLDL::QKCURLDL(const QString& address) : address_(address), curl_(curl_easy_init()) {
  if (!curl_) Log::line("\t\terr: could not create a curl handle");
}

QKCURLDL::~QKCURLDL() {
  curl_mime_free(form_);
  curl_slist_free_all(headers_);
  if (curl_) curl_easy_cleanup(curl_);
}

QString QKCURLDL::responseString() const {
  return response_.isEmpty() ? QString() : QString::fromUtf8(response_);
}

curl_mime* QKCURLDL::firstFormPtr() {
  if (!form_ && curl_) form_ = curl_mime_init(curl_);
  return form_;
}

void QKCURLDL::setFirstFormPtr(curl_mime* form) {
  if (form == form_) return;
  curl_mime_free(form_);
  form_ = form;
  lastPart_ = nullptr;
}

curl_mimepart* QKCURLDL::addFormPart() {
  curl_mime* form = firstFormPtr();
  if (!form) return nullptr;
  lastPart_ = curl_mime_addpart(form);
  return lastPart_;
}

bool QKCURLDL::appendHeader(const QByteArray& header) {
  curl_slist* extended = curl_slist_append(headers_, header.constData());
  if (!extended) return false;
  headers_ = extended;
  return true;
}

size_t QKCURLDL::collect(char* data, size_t size, size_t count, void* self) {
  auto* downloader = static_cast<QKCURLDL*>(self);
  const size_t bytes = size * count;
  downloader->response_.append(data, static_cast<qsizetype>(bytes));
  return bytes;
}

int QKCURLDL::progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const std::atomic<bool>* abort = static_cast<QKCURLDL*>(self)->abort_;
  return abort && abort->load() ? 1 : 0;
}

void QKCURLDL::fail(const QString& reason) {
  error_ = reason;
  response_.clear();
  Log::line(QStringLiteral("\t\terr: request to %1 failed: %2").arg(address_, reason));
}

bool QKCURLDL::perform() {
  response_.clear();
  httpStatus_ = 0;
  error_.clear();
  if (!curl_) {
    fail(QStringLiteral("no curl handle"));
    return false;
  }

  const QByteArray url = address_.toUtf8();
  char errorBuffer[CURL_ERROR_SIZE] = {0};
  curl_easy_reset(curl_);
  curl_easy_setopt(curl_, CURLOPT_URL, url.constData());
  curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);  // time-outs without SIGALRM, safe in threads
  curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, milliseconds(connectTimeout_));
  curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, milliseconds(timeout_));
  curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl_, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &QKCURLDL::collect);
  curl_easy_setopt(curl_, CURLOPT_WRITEDATA, this);
  if (abort_) {
    curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &QKCURLDL::progress);
    curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, this);
  }
  if (form_) curl_easy_setopt(curl_, CURLOPT_MIMEPOST, form_);
  if (headers_) curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers_);

  const CURLcode result = curl_easy_perform(curl_);
  curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &httpStatus_);
  curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, nullptr);  // the buffer lives on this stack only
  if (result != CURLE_OK) {
    const QString detail =
        QString::fromUtf8(errorBuffer[0] ? errorBuffer : curl_easy_strerror(result));
    httpStatus_ = 0;
    fail(detail);
    return false;
  }
  return true;
}

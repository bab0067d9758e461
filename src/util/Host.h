#pragma once

#include <string>

namespace lignado {

// What the core asks of the window it runs under: messages, status text, progress,
// a chance to dispatch pending window messages, and the Escape key / stop request.
// The wizard implements it with Qt, the CLI with the terminal, tests with a recorder.
class Host {
 public:
  virtual ~Host() = default;
  virtual void showMessage(const std::string& text) = 0;  // Windows-1252 text
  virtual void setStatus(const std::string& text) = 0;    // Windows-1252 text
  virtual void setProgressMax(long long max) = 0;
  virtual void setProgressPos(long long pos) = 0;
  virtual void processMessages() = 0;
  virtual bool abortRequested() = 0;  // the Escape key is down
};

// Calls through a possibly null host; a null host does nothing and never aborts.
inline void hostMessage(Host* h, const std::string& t) {
  if (h) h->showMessage(t);
}
inline void hostStatus(Host* h, const std::string& t) {
  if (h) h->setStatus(t);
}
inline void hostProgressMax(Host* h, long long v) {
  if (h) h->setProgressMax(v);
}
inline void hostProgressPos(Host* h, long long v) {
  if (h) h->setProgressPos(v);
}
inline void hostProcess(Host* h) {
  if (h) h->processMessages();
}
inline bool hostAbort(Host* h) {
  return h && h->abortRequested();
}

}  // namespace lignado

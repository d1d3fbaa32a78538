#include "app/desktop/RequestOffTheLoop.h"

#include <QEventLoop>
#include <QMetaObject>
#include <exception>
#include <thread>

namespace app {

platform::HttpReply RequestOffTheLoop(const std::function<platform::HttpReply()>& request) {
  QEventLoop loop;
  platform::HttpReply reply;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      reply = request();
    } catch (...) {
      failure = std::current_exception();
    }
    // Queued to the loop's thread, where it quits the loop once everything posted before it has run.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  // Also when something ended every loop of the thread early (the application's quit): the request ends
  // by its deadline, and its reply and the worker must not outlive this call.
  worker.join();
  if (failure) std::rethrow_exception(failure);
  return reply;
}

}  // namespace app

// An event that any number of handlers subscribe to, raised by the code
// that owns it: how a lower folder tells a higher one that something
// happened without calling up into it. Handlers run in the order they
// subscribed.
#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace djvp::ui {

template <typename... Args>
class Event {
 public:
  using Handler = std::function<void(Args...)>;
  void Subscribe(Handler handler) { handlers_.push_back(std::move(handler)); }
  void Raise(Args... args) const {
    for (const Handler& h : handlers_) h(args...);
  }

 private:
  std::vector<Handler> handlers_;
};

}  // namespace djvp::ui

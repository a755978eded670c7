// BulletinBoard's request and action, and SpringBoard's two banner
// controllers. A banner stays on screen for its display interval; one added
// meanwhile waits until the replace interval has passed (or the banner on
// screen is dismissed). Sending _dismissIntervalElapsed and then, after
// adding, _replaceIntervalElapsed therefore shows a new banner at once.

#include "host/springboard/springboard_classes.h"
#include "platform/objc/native_class.h"

namespace px::host::springboard {
namespace {

using platform::objc::id;
using platform::objc::Imp;
using platform::objc::sel;

class BulletinRequest : public platform::objc::Object {
 public:
  using platform::objc::Object::Object;
  std::string title, message, section;
  id default_action;
};

void add_string_property(platform::objc::Class cls, const char* getter, const char* setter,
                         std::string BulletinRequest::*field) {
  platform::objc::class_addMethod<void, std::string>(
      cls, sel(setter), Imp<void, std::string>([field](id self, platform::objc::SEL, std::string v) {
        if (auto r = platform::objc::cast<BulletinRequest>(self)) (*r).*field = std::move(v);
      }));
  platform::objc::class_addMethod<std::string>(cls, sel(getter),
                                               Imp<std::string>([field](id self, platform::objc::SEL) {
                                                 auto r = platform::objc::cast<BulletinRequest>(self);
                                                 return r ? (*r).*field : std::string();
                                               }));
}

void schedule_banner_timers() {
  auto& s = state();
  auto& loop = platform::foundation::RunLoop::main();
  if (s.banner_replace_timer) loop.cancel_timer(s.banner_replace_timer);
  if (s.banner_dismiss_timer) loop.cancel_timer(s.banner_dismiss_timer);
  s.banner_replace_timer = loop.add_timer(kBannerReplaceInterval, [] {
    state().banner_replace_timer = 0;
    platform::objc::msg_send<void>(shared_instance("SBBannerController"), sel("_replaceIntervalElapsed"));
  });
  s.banner_dismiss_timer = loop.add_timer(kBannerDismissInterval, [] {
    state().banner_dismiss_timer = 0;
    platform::objc::msg_send<void>(shared_instance("SBBannerController"), sel("_dismissIntervalElapsed"));
  });
}

void show_next_banner() {
  auto& s = state();
  if (s.banners_waiting.empty()) return;
  Banner b = std::move(s.banners_waiting.front());
  s.banners_waiting.pop_front();
  s.banner_on_screen = b;
  s.banners_shown.push_back(b);
  s.banner_replace_ready = false;
  schedule_banner_timers();
}

void banner_dismiss_interval_elapsed(id, platform::objc::SEL) {
  auto& s = state();
  if (s.banner_dismiss_timer) platform::foundation::RunLoop::main().cancel_timer(s.banner_dismiss_timer);
  s.banner_dismiss_timer = 0;
  s.banner_on_screen.reset();
  show_next_banner();
}

void banner_replace_interval_elapsed(id, platform::objc::SEL) {
  auto& s = state();
  if (s.banner_replace_timer) platform::foundation::RunLoop::main().cancel_timer(s.banner_replace_timer);
  s.banner_replace_timer = 0;
  s.banner_replace_ready = true;
  show_next_banner();
}

void add_bulletin(id, platform::objc::SEL, id /*observer*/, id bulletin, unsigned long /*feed*/) {
  auto request = platform::objc::cast<BulletinRequest>(bulletin);
  if (!request) return;
  auto& s = state();
  // The controller copies what it shows; the request may go away at once.
  s.banners_waiting.push_back(Banner{request->title, request->message, request->section});
  if (!s.banner_on_screen || s.banner_replace_ready) show_next_banner();
}

}  // namespace

void register_bulletin_classes() {
  platform::objc::Class request = host_class("BBBulletinRequest", platform::objc::NSObject_class());
  request->set_factory([](platform::objc::Class cls) -> id { return std::make_shared<BulletinRequest>(cls); });
  add_string_property(request, "title", "setTitle:", &BulletinRequest::title);
  add_string_property(request, "message", "setMessage:", &BulletinRequest::message);
  add_string_property(request, "sectionID", "setSectionID:", &BulletinRequest::section);
  platform::objc::class_addMethod<void, id>(request, sel("setDefaultAction:"),
                                            Imp<void, id>([](id self, platform::objc::SEL, id a) {
                                              if (auto r = platform::objc::cast<BulletinRequest>(self))
                                                r->default_action = std::move(a);
                                            }));
  platform::objc::class_addMethod<id>(request, sel("defaultAction"), Imp<id>([](id self, platform::objc::SEL) {
                                        auto r = platform::objc::cast<BulletinRequest>(self);
                                        return r ? r->default_action : id{};
                                      }));
  platform::objc::class_addMethod<id>(request, sel("autorelease"),
                                      Imp<id>([](id self, platform::objc::SEL) { return self; }));

  platform::objc::Class action = host_class("BBAction", platform::objc::NSObject_class());
  platform::objc::class_addClassMethod<id>(
      action, sel("action"), Imp<id>([](id self, platform::objc::SEL) {
        return platform::objc::class_new(static_cast<platform::objc::ClassObject*>(self.get()));
      }));

  platform::objc::Class bulletins = host_class("SBBulletinBannerController", platform::objc::NSObject_class());
  platform::objc::class_addClassMethod<id>(bulletins, sel("sharedInstance"), Imp<id>([](id, platform::objc::SEL) {
                                             return shared_instance("SBBulletinBannerController");
                                           }));
  platform::objc::class_addMethod<void, id, id, unsigned long>(bulletins, sel("observer:addBulletin:forFeed:"),
                                                               Imp<void, id, id, unsigned long>(add_bulletin));

  platform::objc::Class banners = host_class("SBBannerController", platform::objc::NSObject_class());
  platform::objc::class_addClassMethod<id>(banners, sel("sharedInstance"), Imp<id>([](id, platform::objc::SEL) {
                                             return shared_instance("SBBannerController");
                                           }));
  platform::objc::class_addMethod<void>(banners, sel("_dismissIntervalElapsed"),
                                        Imp<void>(banner_dismiss_interval_elapsed));
  platform::objc::class_addMethod<void>(banners, sel("_replaceIntervalElapsed"),
                                        Imp<void>(banner_replace_interval_elapsed));
}

}  // namespace px::host::springboard

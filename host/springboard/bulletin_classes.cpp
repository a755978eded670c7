// BulletinBoard's request and action, and SpringBoard's two banner
// controllers. A banner stays on screen for its display interval; one added
// meanwhile waits until the replace interval has passed (or the banner on
// screen is dismissed). Sending _dismissIntervalElapsed and then, after
// adding, _replaceIntervalElapsed therefore shows a new banner at once.

#include "host/springboard/springboard_classes.h"
#include "platform/objc/native_class.h"

namespace springboard {
namespace {

using objc::id;
using objc::Imp;
using objc::sel;

class BulletinRequest : public objc::Object {
 public:
  using objc::Object::Object;
  std::string title, message, section;
  id default_action;
};

void add_string_property(objc::Class cls, const char* getter, const char* setter, std::string BulletinRequest::*field) {
  objc::class_addMethod<void, std::string>(cls, sel(setter),
                                           Imp<void, std::string>([field](id self, objc::SEL, std::string v) {
                                             if (auto r = objc::cast<BulletinRequest>(self)) (*r).*field = std::move(v);
                                           }));
  objc::class_addMethod<std::string>(cls, sel(getter), Imp<std::string>([field](id self, objc::SEL) {
                                       auto r = objc::cast<BulletinRequest>(self);
                                       return r ? (*r).*field : std::string();
                                     }));
}

void schedule_banner_timers() {
  auto& s = state();
  auto& loop = foundation::RunLoop::main();
  if (s.banner_replace_timer) loop.cancel_timer(s.banner_replace_timer);
  if (s.banner_dismiss_timer) loop.cancel_timer(s.banner_dismiss_timer);
  s.banner_replace_timer = loop.add_timer(kBannerReplaceInterval, [] {
    state().banner_replace_timer = 0;
    objc::msg_send<void>(shared_instance("SBBannerController"), sel("_replaceIntervalElapsed"));
  });
  s.banner_dismiss_timer = loop.add_timer(kBannerDismissInterval, [] {
    state().banner_dismiss_timer = 0;
    objc::msg_send<void>(shared_instance("SBBannerController"), sel("_dismissIntervalElapsed"));
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

void banner_dismiss_interval_elapsed(id, objc::SEL) {
  auto& s = state();
  if (s.banner_dismiss_timer) foundation::RunLoop::main().cancel_timer(s.banner_dismiss_timer);
  s.banner_dismiss_timer = 0;
  s.banner_on_screen.reset();
  show_next_banner();
}

void banner_replace_interval_elapsed(id, objc::SEL) {
  auto& s = state();
  if (s.banner_replace_timer) foundation::RunLoop::main().cancel_timer(s.banner_replace_timer);
  s.banner_replace_timer = 0;
  s.banner_replace_ready = true;
  show_next_banner();
}

void add_bulletin(id, objc::SEL, id /*observer*/, id bulletin, unsigned long /*feed*/) {
  auto request = objc::cast<BulletinRequest>(bulletin);
  if (!request) return;
  auto& s = state();
  // The controller copies what it shows; the request may go away at once.
  s.banners_waiting.push_back(Banner{request->title, request->message, request->section});
  if (!s.banner_on_screen || s.banner_replace_ready) show_next_banner();
}

}  // namespace

void register_bulletin_classes() {
  objc::Class request = host_class("BBBulletinRequest", objc::NSObject_class());
  request->set_factory([](objc::Class cls) -> id { return std::make_shared<BulletinRequest>(cls); });
  add_string_property(request, "title", "setTitle:", &BulletinRequest::title);
  add_string_property(request, "message", "setMessage:", &BulletinRequest::message);
  add_string_property(request, "sectionID", "setSectionID:", &BulletinRequest::section);
  objc::class_addMethod<void, id>(request, sel("setDefaultAction:"), Imp<void, id>([](id self, objc::SEL, id a) {
                                    if (auto r = objc::cast<BulletinRequest>(self)) r->default_action = std::move(a);
                                  }));
  objc::class_addMethod<id>(request, sel("defaultAction"), Imp<id>([](id self, objc::SEL) {
                              auto r = objc::cast<BulletinRequest>(self);
                              return r ? r->default_action : id{};
                            }));
  objc::class_addMethod<id>(request, sel("autorelease"), Imp<id>([](id self, objc::SEL) { return self; }));

  objc::Class action = host_class("BBAction", objc::NSObject_class());
  objc::class_addClassMethod<id>(action, sel("action"), Imp<id>([](id self, objc::SEL) {
                                   return objc::class_new(static_cast<objc::ClassObject*>(self.get()));
                                 }));

  objc::Class bulletins = host_class("SBBulletinBannerController", objc::NSObject_class());
  objc::class_addClassMethod<id>(bulletins, sel("sharedInstance"),
                                 Imp<id>([](id, objc::SEL) { return shared_instance("SBBulletinBannerController"); }));
  objc::class_addMethod<void, id, id, unsigned long>(bulletins, sel("observer:addBulletin:forFeed:"),
                                                     Imp<void, id, id, unsigned long>(add_bulletin));

  objc::Class banners = host_class("SBBannerController", objc::NSObject_class());
  objc::class_addClassMethod<id>(banners, sel("sharedInstance"),
                                 Imp<id>([](id, objc::SEL) { return shared_instance("SBBannerController"); }));
  objc::class_addMethod<void>(banners, sel("_dismissIntervalElapsed"), Imp<void>(banner_dismiss_interval_elapsed));
  objc::class_addMethod<void>(banners, sel("_replaceIntervalElapsed"), Imp<void>(banner_replace_interval_elapsed));
}

}  // namespace springboard

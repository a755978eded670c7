#include "platform/preferences/ps_list_controller.h"

#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "platform/sim/device_paths.h"

namespace px::platform::preferences {
namespace {

std::function<void(PSListController&)>& reload_observer() {
  static auto* f = new std::function<void(PSListController&)>;
  return *f;
}

PSListController* as_controller(const objc::id& self) { return dynamic_cast<PSListController*>(self.get()); }

void add_base_methods(objc::Class cls) {
  using foundation::Value;
  using objc::id;
  using objc::Imp;
  using objc::SEL;
  objc::class_addMethod<id>(cls, objc::sel("specifiers"), Imp<id>([](id self, SEL) {
                              auto* c = as_controller(self);
                              return c ? c->_specifiers : id{};
                            }));
  objc::class_addMethod<void, bool>(cls, objc::sel("viewWillAppear:"), Imp<void, bool>([](id self, SEL, bool) {
                                      if (auto* c = as_controller(self)) c->reload();
                                    }));
  objc::class_addMethod<void>(cls, objc::sel("reload"), Imp<void>([](id self, SEL) {
                                if (auto* c = as_controller(self)) c->reload();
                              }));
  // The framework's own storage is not used by any pane of this system: a row
  // without a pane of its own shows its default and keeps nothing.
  objc::class_addMethod<Value, id>(cls, objc::sel("readPreferenceValue:"),
                                   Imp<Value, id>([](id, SEL, id row_specifier) {
                                     auto s = objc::cast<PSSpecifier>(row_specifier);
                                     return s ? s->propertyForKey("default") : Value();
                                   }));
  objc::class_addMethod<void, Value, id>(cls, objc::sel("setPreferenceValue:specifier:"),
                                         Imp<void, Value, id>([](id, SEL, Value, id) {}));
}

}  // namespace

objc::Class PSListController::runtime_class() {
  if (objc::Class c = objc::objc_getClass("PSListController")) return c;
  objc::Class cls = objc::objc_allocateClassPair(uikit::UIViewController::runtime_class(), "PSListController");
  if (!cls) return objc::objc_getClass("PSListController");
  cls->set_factory([](objc::Class c) -> objc::id {
    auto obj = std::make_shared<PSListController>();
    obj->set_isa(c);
    return obj;
  });
  add_base_methods(cls);
  objc::objc_registerClassPair(cls);
  return cls;
}

std::shared_ptr<PSListController> PSListController::make_for(objc::Class cls) {
  runtime_class();
  if (!cls) return nullptr;
  return std::dynamic_pointer_cast<PSListController>(objc::class_new(cls));
}

std::shared_ptr<SpecifierArray> PSListController::loadSpecifiersFromPlistName(std::string_view name,
                                                                              const objc::id& target) {
  std::string file = m_bundle + "/" + std::string(name) + ".plist";
  foundation::Value list = foundation::plist::read_device_dictionary(sim::DevicePath(file));
  const foundation::Array* items = list["items"].array();
  if (!items) {
    foundation::log_line("PSListController: no specifier list " + file);
    return nullptr;
  }
  std::vector<std::shared_ptr<PSSpecifier>> specs;
  for (auto& item : *items)
    if (item.is_dictionary()) specs.push_back(PSSpecifier::from_item(item, target));
  auto array = SpecifierArray::make(std::move(specs));
  if (auto* title = list["title"].string()) {
    array->set_title(*title);
    // A pane that cleared its title keeps it cleared.
    if (!title_assigned()) setTitle(*title);
  }
  return array;
}

void PSListController::reload() {
  objc::id self = shared_from_this();
  m_shown = objc::cast<SpecifierArray>(objc::msg_send<objc::id>(self, objc::sel("specifiers")));
  ++m_reloads;
  if (reload_observer()) reload_observer()(*this);
}

std::shared_ptr<SpecifierArray> PSListController::shown_specifiers() {
  if (!m_shown) reload();
  return m_shown;
}

void PSListController::set_reload_observer(std::function<void(PSListController&)> f) {
  reload_observer() = std::move(f);
}

}  // namespace px::platform::preferences

// The C face of objMarlin. The wizard is shown in a Qt window.
#include "app/capi/marlin2kestrel.h"

#include <memory>
#include <string>

#include "app/qt/qt_front_end.h"
#include "base/source.h"
#include "host/obj_marlin.h"

struct m2k_marlin {
  std::unique_ptr<app::QtFrontEnd> window;
  std::unique_ptr<host::objMarlin> object;
  m2k_execution_done callback = nullptr;
  void* user = nullptr;
};

namespace {

// No exception may cross into a host written in another language: every
// entry point runs its body here and answers `failed` when anything is thrown.
template <class Result, class Body>
Result guarded(Result failed, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failed;
  }
}

template <class Body>
void guarded(Body&& body) noexcept {
  guarded(0, [&] {
    body();
    return 0;
  });
}

}  // namespace

extern "C" {

m2k_marlin* m2k_create(void) {
  return guarded<m2k_marlin*>(nullptr, [] {
    auto marlin = std::make_unique<m2k_marlin>();
    marlin->window = std::make_unique<app::QtFrontEnd>();
    marlin->object = std::make_unique<host::objMarlin>(*marlin->window);
    m2k_marlin* raw = marlin.get();
    marlin->object->ExecutionDone = [raw] {
      if (raw->callback) raw->callback(raw->user);
    };
    return marlin.release();
  });
}

void m2k_destroy(m2k_marlin* marlin) {
  guarded([marlin] { delete marlin; });
}

void m2k_set_language(m2k_marlin* m, const char* v) {
  guarded([&] { m->object->Language(v ? v : ""); });
}
void m2k_set_is_version_sql(m2k_marlin* m, int v) { m->object->IsVersionSql(v != 0); }
void m2k_set_kestrel_path(m2k_marlin* m, const char* v) {
  guarded([&] { m->object->KestrelPath(v ? v : ""); });
}
void m2k_set_kestrel_dossier_name(m2k_marlin* m, const char* v) {
  guarded([&] { m->object->KestrelDossierName(v ? v : ""); });
}

const char* m2k_get_language(const m2k_marlin* m) { return m->object->Language().c_str(); }
int m2k_get_is_version_sql(const m2k_marlin* m) { return m->object->IsVersionSql() ? 1 : 0; }
const char* m2k_get_kestrel_path(const m2k_marlin* m) { return m->object->KestrelPath().c_str(); }
const char* m2k_get_kestrel_dossier_name(const m2k_marlin* m) { return m->object->KestrelDossierName().c_str(); }

void m2k_on_execution_done(m2k_marlin* m, m2k_execution_done callback, void* user) {
  m->callback = callback;
  m->user = user;
}

void m2k_execute(m2k_marlin* m) {
  guarded([m] {
    try {
      m->object->Execute();
    } catch (...) {
      // The person learns that the wizard stopped; the host goes on.
      const bool french = m->object->Language() == "F";
      base::showMessage(m->window->ui(), base::handledErrorText(french), base::MsgIcon::Critical);
    }
  });
}

}  // extern "C"

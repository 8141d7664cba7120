/* The import component for hosts written in any language: create the
 * object, set its four properties, register the ExecutionDone callback,
 * call Execute (shows the wizard modally), destroy it. Texts are UTF-8.
 * No C++ exception ever leaves these functions. */
#ifndef MARLIN2KESTREL_H
#define MARLIN2KESTREL_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define M2K_API __declspec(dllexport)
#else
#define M2K_API __attribute__((visibility("default")))
#endif

typedef struct m2k_marlin m2k_marlin;
typedef void (*m2k_execution_done)(void* user);

M2K_API m2k_marlin* m2k_create(void);
M2K_API void m2k_destroy(m2k_marlin* marlin);

M2K_API void m2k_set_language(m2k_marlin* marlin, const char* language);
M2K_API void m2k_set_is_version_sql(m2k_marlin* marlin, int is_version_sql);
M2K_API void m2k_set_kestrel_path(m2k_marlin* marlin, const char* path);
M2K_API void m2k_set_kestrel_dossier_name(m2k_marlin* marlin, const char* name);

/* The texts stay valid until the property is set again or the object is destroyed. */
M2K_API const char* m2k_get_language(const m2k_marlin* marlin);
M2K_API int m2k_get_is_version_sql(const m2k_marlin* marlin);
M2K_API const char* m2k_get_kestrel_path(const m2k_marlin* marlin);
M2K_API const char* m2k_get_kestrel_dossier_name(const m2k_marlin* marlin);

/* Called after a successful import, before Execute returns. */
M2K_API void m2k_on_execution_done(m2k_marlin* marlin, m2k_execution_done callback, void* user);

/* Shows the wizard modally; returns when it is closed. */
M2K_API void m2k_execute(m2k_marlin* marlin);

#ifdef __cplusplus
}
#endif

#endif

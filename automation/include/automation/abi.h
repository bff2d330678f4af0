/*
 * The automation ABI: how a host program and an in-process control library
 * talk to each other across dlopen(). Plain C so that any host can use it.
 *
 * Strings
 *   An automation string is a counted UTF-16 string: a pointer to the first
 *   code unit of a NUL-ended UTF-16 text, with the byte length stored in the
 *   32-bit word just before it. Create and free them only with
 *   autostr_alloc(), autostr_alloc_len() and autostr_free(); autostr_len()
 *   gives the length in code units. A null pointer is the empty string.
 *
 * Variants
 *   AutoVariant carries one argument or result: empty, 16-bit integer, 32-bit
 *   integer, single-precision real, automation boolean (-1 true, 0 false) or
 *   automation string. The type codes are those of the AUTO_VT_* constants.
 *
 * Objects
 *   An AutoDispatch object is a pointer to a table of functions (lpVtbl). It is
 *   reference counted: add_ref() and release(); the object frees itself when
 *   the count drops to 0.
 *   - get_id_of_name(name) finds a member's dispatch number by its name,
 *     without regard to case.
 *   - invoke(dispid, flags, args, argc, result) calls a member. flags is one of
 *     AUTO_INVOKE_METHOD, AUTO_INVOKE_PROPERTYGET, AUTO_INVOKE_PROPERTYPUT.
 *     args are in the member's own order (first argument first); for a
 *     property write the new value is the last argument. Argument strings stay
 *     owned by the caller. A string result is a new automation string that the
 *     caller frees with autostr_free(). result may be null when the caller does
 *     not want it. Results: AUTO_S_OK, or AUTO_E_MEMBERNOTFOUND for a dispatch
 *     number that names no member (no member runs), AUTO_E_BADPARAMCOUNT,
 *     AUTO_E_TYPEMISMATCH, AUTO_E_OVERFLOW for arguments that do not fit.
 *   - member_count() and member_info(i, out) list the member table.
 *
 * Library entry points (exported by every control library)
 *   int32_t DllRegisterServer(void);     writes the library's classes into the
 *                                        per-user class registry
 *   int32_t DllUnregisterServer(void);   removes them again
 *   int32_t DllGetClassObject(const char* clsid, AutoClassFactory** out);
 *   int32_t DllCanUnloadNow(void);       AUTO_S_OK when no object is alive,
 *                                        AUTO_S_FALSE otherwise
 *   A class factory's create_instance(factory, &object) makes a new object
 *   with a reference count of 1; release() frees the factory.
 *
 * The class registry
 *   A text file of sections and "key=value" lines (see automation/Registry.h).
 *   Its path is $AUTOMATION_REGISTRY_FILE when that is set, else
 *   $XDG_CONFIG_HOME/automation/registry.ini (XDG_CONFIG_HOME defaulting to
 *   ~/.config). A host creates a registered control by its ProgID with
 *   automation::CreateObject() (automation/Host.h).
 */
#ifndef AUTOMATION_ABI_H
#define AUTOMATION_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef char16_t autochar;

enum {
  AUTO_VT_EMPTY = 0,
  AUTO_VT_I2 = 2,
  AUTO_VT_I4 = 3,
  AUTO_VT_R4 = 4,
  AUTO_VT_STR = 8,
  AUTO_VT_BOOL = 11
};

enum {
  AUTO_INVOKE_METHOD = 1,
  AUTO_INVOKE_PROPERTYGET = 2,
  AUTO_INVOKE_PROPERTYPUT = 4
};

/* Result codes. */
#define AUTO_S_OK ((int32_t)0)
#define AUTO_S_FALSE ((int32_t)1)
#define AUTO_E_FAIL ((int32_t)0x80004005u)
#define AUTO_E_NOINTERFACE ((int32_t)0x80004002u)
#define AUTO_E_OUTOFMEMORY ((int32_t)0x8007000Eu)
#define AUTO_E_INVALIDARG ((int32_t)0x80070057u)
#define AUTO_E_MEMBERNOTFOUND ((int32_t)0x80020003u)
#define AUTO_E_TYPEMISMATCH ((int32_t)0x80020005u)
#define AUTO_E_UNKNOWNNAME ((int32_t)0x80020006u)
#define AUTO_E_OVERFLOW ((int32_t)0x8002000Au)
#define AUTO_E_BADPARAMCOUNT ((int32_t)0x8002000Eu)
#define AUTO_E_CLASSNOTAVAILABLE ((int32_t)0x80040111u)
#define AUTO_E_CLASSNOTREG ((int32_t)0x80040154u)
#define AUTO_E_SELFREG_TYPELIB ((int32_t)0x80040200u)
#define AUTO_E_SELFREG_CLASS ((int32_t)0x80040201u)

/* Dispatch number of the standard about box member. */
#define AUTO_DISPID_ABOUTBOX (-552)

typedef struct AutoVariant {
  uint16_t vt;
  union {
    int16_t i2;
    int32_t i4;
    float r4;
    int16_t boolVal; /* -1 true, 0 false */
    autochar* str;   /* automation string */
  } u;
} AutoVariant;

/* Member kinds in the member table. */
enum {
  AUTO_MEMBER_METHOD = 1,
  AUTO_MEMBER_PROPERTY = 2,     /* read and write accessors */
  AUTO_MEMBER_PROPERTY_GET = 3  /* read accessor only */
};

#define AUTO_MAX_ARGS 8

typedef struct AutoMemberInfo {
  int32_t dispid;
  const char* name;
  int32_t kind;
  uint16_t type;          /* value type of a property, result type of a method (AUTO_VT_EMPTY: none) */
  int32_t argc;           /* method arguments */
  const char* argNames[AUTO_MAX_ARGS];
  uint16_t argTypes[AUTO_MAX_ARGS];
} AutoMemberInfo;

typedef struct AutoDispatch AutoDispatch;
typedef struct AutoDispatchVtbl {
  uint32_t (*add_ref)(AutoDispatch* self);
  uint32_t (*release)(AutoDispatch* self);
  int32_t (*get_id_of_name)(AutoDispatch* self, const autochar* name, int32_t* dispid);
  int32_t (*invoke)(AutoDispatch* self, int32_t dispid, uint16_t flags, const AutoVariant* args,
                    uint32_t argc, AutoVariant* result);
  int32_t (*member_count)(AutoDispatch* self);
  int32_t (*member_info)(AutoDispatch* self, int32_t index, AutoMemberInfo* out);
} AutoDispatchVtbl;
struct AutoDispatch {
  const AutoDispatchVtbl* lpVtbl;
};

typedef struct AutoClassFactory AutoClassFactory;
typedef struct AutoClassFactoryVtbl {
  uint32_t (*release)(AutoClassFactory* self);
  int32_t (*create_instance)(AutoClassFactory* self, AutoDispatch** out);
} AutoClassFactoryVtbl;
struct AutoClassFactory {
  const AutoClassFactoryVtbl* lpVtbl;
};

/* Automation strings. */
autochar* autostr_alloc(const autochar* text);
autochar* autostr_alloc_len(const autochar* text, uint32_t units);
void autostr_free(autochar* s);
uint32_t autostr_len(const autochar* s);

/* Frees what a variant owns (its string) and makes it empty. */
void autovariant_clear(AutoVariant* v);

/* Signatures of the library entry points, for dlsym(). */
typedef int32_t (*AutoDllRegisterServerFn)(void);
typedef int32_t (*AutoDllUnregisterServerFn)(void);
typedef int32_t (*AutoDllGetClassObjectFn)(const char* clsid, AutoClassFactory** out);
typedef int32_t (*AutoDllCanUnloadNowFn)(void);

#ifdef __cplusplus
}
#endif

#endif

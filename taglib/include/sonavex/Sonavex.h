/* The Sonavex2 tag library as a host sees it.
 *
 * libSonavex2.so is an in-process control library under the automation ABI
 * of automation/abi.h: it exports DllRegisterServer, DllUnregisterServer,
 * DllGetClassObject and DllCanUnloadNow, and registers the control class
 * (ProgID "SONAVEX.SonavexCtrl.1") and its property page (ProgID
 * "SONAVEX.SonavexPropPage.1") in the per-user class registry. A host creates
 * the control with automation::CreateObject(SONAVEX_PROGID, ...) and calls its
 * members by the dispatch numbers of sonavex/Dispids.h.
 *
 * The library shows no windows. Texts it would show in a message box (the
 * about box, out-of-memory reports) go to a handler that the host sets with
 * SonavexSetMessageHandler; the about box's call returns when the handler
 * returns, so a host shows it modally.
 *
 * A string member that stands for a field with several values (a genre
 * list, say) holds them one after another with U+0000 between them; a host
 * that shows it should split it there, and may put several values the same
 * way. A save fails with the member's last error number: an errno value of
 * the system, or the library's own numbers 201 to 215 (213: the file
 * changed since it was analysed, another program saved it meanwhile; 214:
 * another save of the file held it too long; 215: an earlier save of the
 * file was cut short and its earlier content could not be put back, the
 * file is neither read nor written). AUDIOGetLastErrorText gives the text,
 * which for 215 names the file.
 */
#ifndef SONAVEX_SONAVEX_H
#define SONAVEX_SONAVEX_H

#include "automation/abi.h"
#include "sonavex/Dispids.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Class ids of the control and its property page, and the type library. */
#define SONAVEX_CLSID "{5B0C3A8E-9D27-4F1B-8E3A-2C6D4F9A1B70}"
#define SONAVEX_PROPPAGE_CLSID "{5B0C3A8E-9D27-4F1B-8E3A-2C6D4F9A1B71}"
#define SONAVEX_LIBID "{5B0C3A8E-9D27-4F1B-8E3A-2C6D4F9A1B72}"

typedef void (*SonavexMessageHandler)(const autochar* caption, const autochar* text, void* user);
typedef void (*SonavexSetMessageHandlerFn)(SonavexMessageHandler handler, void* user);
/* Exported by the library; look it up with dlsym(handle, "SonavexSetMessageHandler"). */

#ifdef __cplusplus
}
#endif

#endif

// Resource ids shared by the resource scripts and the program.
//
// The resource compiler only understands preprocessor macros, so the ids are
// macros first; C++ code gets typed constants built from them.
#ifndef TINTORA_RESOURCE_IDS_H
#define TINTORA_RESOURCE_IDS_H

#define TINTORA_IDR_MANIFEST 1     /* CREATEPROCESS_MANIFEST_RESOURCE_ID */
#define TINTORA_IDF_BOLD_FACE 130  /* "BINARY": Encode Sans Condensed Bold (700) */
#define TINTORA_IDF_BLACK_FACE 131 /* "BINARY": Encode Sans Condensed Black (900) */
#define TINTORA_IDI_APP_ICON 132   /* icon group: the application icon */

#ifndef RC_INVOKED
namespace tintora {

constexpr unsigned short kManifestResourceId = TINTORA_IDR_MANIFEST;
constexpr unsigned short kBoldFaceResourceId = TINTORA_IDF_BOLD_FACE;
constexpr unsigned short kBlackFaceResourceId = TINTORA_IDF_BLACK_FACE;
constexpr unsigned short kAppIconResourceId = TINTORA_IDI_APP_ICON;

// The named resource type that holds the font files.
constexpr char16_t kFontResourceType[] = u"BINARY";

}  // namespace tintora
#endif

#endif

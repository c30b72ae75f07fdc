#include "ui/platform/Typefaces.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>
#include <mutex>
#include <vector>

namespace ui {

namespace {

// FreeType's library object, made once and kept for the life of the process.
// FT_New_Memory_Face and FT_Done_Face on one library must not run at the same
// time, and the last reference to a Cairo face may be dropped on any thread.
struct FreeTypeLibrary {
    FT_Library library = nullptr;
    std::mutex faceMutex;
};

FreeTypeLibrary& Library() {
    static FreeTypeLibrary* instance = [] {
        auto* made = new FreeTypeLibrary;
        if (FT_Init_FreeType(&made->library) != 0) {
            made->library = nullptr;
        }
        return made;
    }();
    return *instance;
}

// What a Cairo face needs for as long as it lives: FreeType reads the bytes
// while glyphs are rendered.
struct FaceKeeper {
    std::vector<uint8_t> bytes;
    FT_Face face = nullptr;

    ~FaceKeeper() {
        if (face) {
            std::lock_guard lock(Library().faceMutex);
            FT_Done_Face(face);
        }
    }
};

const cairo_user_data_key_t kFaceKeeperKey{};

void DestroyKeeper(void* keeper) {
    delete static_cast<FaceKeeper*>(keeper);
}

} // namespace

TypefaceCache& ProcessTypefaceCache() {
    static TypefaceCache cache;
    return cache;
}

CairoFontFace CreateFontFace(FontData&& data) {
    FreeTypeLibrary& library = Library();
    if (!library.library || data.bytes.empty() || data.faceIndex < 0) {
        return {};
    }
    auto keeper = std::make_unique<FaceKeeper>();
    keeper->bytes = std::move(data.bytes);
    {
        std::lock_guard lock(library.faceMutex);
        if (FT_New_Memory_Face(library.library, keeper->bytes.data(),
                               static_cast<FT_Long>(keeper->bytes.size()), data.faceIndex,
                               &keeper->face) != 0) {
            keeper->face = nullptr;
            return {};
        }
    }
    CairoFontFace face(cairo_ft_font_face_create_for_ft_face(keeper->face, 0));
    if (cairo_font_face_status(face.get()) != CAIRO_STATUS_SUCCESS) {
        return {};
    }
    if (cairo_font_face_set_user_data(face.get(), &kFaceKeeperKey, keeper.get(), DestroyKeeper) !=
        CAIRO_STATUS_SUCCESS) {
        return {};
    }
    keeper.release(); // now Cairo's, freed when the face is
    return face;
}

} // namespace ui

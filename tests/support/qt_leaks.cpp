// Linked into the test programs that show kelvo's windows. Under LeakSanitizer it leaves out the
// memory Qt and the libraries below it keep until the process ends:
// - Qt Quick's pixmap cache and the scene graph's render context keep the images an image
//   provider returned (kelvo's tinted icons) and the textures made from them;
// - fontconfig parses its configuration on the first font lookup and keeps it.
// Qt has no frame pointers, so only full unwinding finds the frames named here.

extern "C" {
const char* __lsan_default_options();
const char* __lsan_default_suppressions();

const char* __lsan_default_options() {
    return "fast_unwind_on_malloc=0";
}

const char* __lsan_default_suppressions() {
    return "leak:QQuickPixmap::load\n"
           "leak:QSGRenderContext::textureForFactory\n"
           "leak:libfontconfig.so\n";
}
}

/* A minimal applet: registers with the host, stores a page and an image,
 * shows the page and shuts down. Exits non-zero with the SDK's error code
 * when a call fails. */
#include <HalvorinKeshControl.h>

#include <stdio.h>

enum { kSide = 16 };

static int fail(const char* what) {
    fprintf(stderr, "example applet: %s failed with code %d\n", what, HalvKeshGetLastError());
    HalvKeshShutdown();
    return 1;
}

int main(void) {
    if (!HalvKeshInit(CFSTR("com.example.keshvistrel.applet"), CFSTR("Example Applet"), NULL)) {
        fprintf(stderr, "example applet: no host (code %d)\n", HalvKeshGetLastError());
        return 1;
    }

    CFStringRef page = CFSTR("<html><body><h1>Hello from the example applet</h1>"
                             "<img src=\"square.rgba\"></body></html>");
    if (!HalvKeshAddUTF8StringAs(page, CFSTR("hello.html"), CFSTR("")))
        return fail("sending the page");

    /* A square that fades from red to blue, four bytes a pixel. */
    unsigned char bitmap[kSide * kSide * 4];
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            unsigned char* pixel = bitmap + 4 * (y * kSide + x);
            pixel[0] = (unsigned char)(255 - x * 16);
            pixel[1] = 0;
            pixel[2] = (unsigned char)(x * 16);
            pixel[3] = 255;
        }
    if (!HalvKeshAddImageFromBitmap(bitmap, kSide, kSide, CFSTR("square.rgba")))
        return fail("sending the image");
    if (!HalvKeshSetIndex(CFSTR("hello.html")))
        return fail("showing the page");

    HalvKeshShutdown();
    printf("example applet: page, image and index sent\n");
    return 0;
}

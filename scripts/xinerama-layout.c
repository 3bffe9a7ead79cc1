/* A stand-in for libXinerama.so.1 that reports the monitors named in KAPTOR_MONITORS
 * ("WxH+X+Y,WxH+X+Y,..." in the X screen's pixels), so that Wine sees several monitors on
 * one Xvfb screen. Xvfb's own Xinerama puts every screen at (0, 0) and its RandR has one
 * output, so neither can give a real layout. scripts/winrun builds it (for both Wine
 * architectures) and puts it first on the library path when KAPTOR_MONITORS is set.
 * Built without the C library's headers: only the two i386/x86_64 libc files are needed. */
typedef struct {
    int screen_number;
    short x_org, y_org, width, height;
} XineramaScreenInfo;
typedef struct _XDisplay Display;

extern char *getenv(const char *);
extern void *malloc(__SIZE_TYPE__);
extern long strtol(const char *, char **, int);

enum { MaxMonitors = 16 };

/* The monitors of KAPTOR_MONITORS; 0 when it is missing or malformed. */
static int layout(XineramaScreenInfo *out) {
    const char *s = getenv("KAPTOR_MONITORS");
    int n = 0;
    if (!s) return 0;
    while (*s && n < MaxMonitors) {
        long v[4];
        const char seps[4] = {'x', '+', '+', 0};
        for (int i = 0; i < 4; ++i) {
            char *end;
            v[i] = strtol(s, &end, 10);
            if (end == s || (seps[i] && *end != seps[i]) || v[i] < 0 || v[i] > 32767) return 0;
            s = seps[i] ? end + 1 : end;
        }
        if (v[0] == 0 || v[1] == 0) return 0;
        out[n].screen_number = n;
        out[n].width = (short)v[0];
        out[n].height = (short)v[1];
        out[n].x_org = (short)v[2];
        out[n].y_org = (short)v[3];
        ++n;
        if (*s == ',') ++s;
        else if (*s) return 0;
    }
    return n;
}

int XineramaQueryExtension(Display *d, int *event_base, int *error_base) {
    XineramaScreenInfo unused[MaxMonitors];
    (void)d;
    *event_base = *error_base = 0;
    return layout(unused) > 0;
}

int XineramaQueryVersion(Display *d, int *major, int *minor) {
    (void)d;
    *major = 1;
    *minor = 1;
    return 1;
}

int XineramaIsActive(Display *d) {
    XineramaScreenInfo unused[MaxMonitors];
    (void)d;
    return layout(unused) > 0;
}

/* Freed by the caller with XFree, which is free. */
XineramaScreenInfo *XineramaQueryScreens(Display *d, int *number) {
    XineramaScreenInfo found[MaxMonitors];
    XineramaScreenInfo *out;
    (void)d;
    *number = layout(found);
    if (!*number || !(out = malloc(sizeof(XineramaScreenInfo) * (unsigned)*number))) return *number = 0, (void *)0;
    for (int i = 0; i < *number; ++i) out[i] = found[i];
    return out;
}

// Sending the staged format, window and compression settings, and the
// compression presets and per-frame target adaptation.
#include "camera.h"
#include "viewport.h"

int CheckViewportStatus(Viewport* viewport, const char* label) {
    if (!viewport || viewport->failed) return 0;
    // A failed read leaves these as a healthy camera reports them: only an
    // error the camera latched stops an apply.
    BYTE systemState = 3, fatalError = 0, cmdError = 0;
    ZELT_GetCameraStatus(viewport->link, &systemState, NULL, NULL, &fatalError, &cmdError, NULL, NULL, NULL);
    if (systemState == 3 && fatalError == 0 && cmdError == 0) return 1;
    viewport->failed = 1;
    TraceCameraError(label, fatalError, cmdError, systemState);
    if (cmdError) ZELT_ModifyCameraStatus(viewport->link, STATUS_CMD_ERROR, (BYTE)~cmdError, 0);
    return 0;
}

static int SendFormat(Viewport* v) {
    ZELT_setFormat(v->link, v->videoSize, v->subSample, v->yuvOrder);
    return CheckViewportStatus(v, "ZELT_setFormat");
}

static int SendWindow(Viewport* v) {
    ZELT_SetROI(v->link, v->colStart8, v->colEnd8, v->rowStart4, v->rowEnd4);
    return CheckViewportStatus(v, "capSetROI");
}

static int SendCompression(Viewport* v) {
    ZELT_SetCompression(v->link, v->compMode, v->decimation);
    if (!CheckViewportStatus(v, "ZELT_SetCompression")) return 0;
    if (v->compMode == 1) {
        ZELT_SetYUVThresh(v->link, 6, 6);
    } else if (v->compMode == 2) {
        ZELT_SetYUVThresh(v->link, v->yThreshold, v->uvThreshold);
    } else {
        return 1;
    }
    return CheckViewportStatus(v, "ZELT_SetYUVThresh");
}

static int SendTarget(Viewport* v) {
    ZELT_SetCompressionTarget(v->link, v->frTargeting, v->targetFR, v->targetQ);
    return CheckViewportStatus(v, "ZELT_SetCompressionTarget");
}

int ApplyViewportChanges(Viewport* viewport) {
    if (!viewport || !viewport->pending) return 0;
    int sent = 0;
    if (viewport->dirty & VP_DIRTY_FORMAT) {
        sent = 1;
        if (!SendFormat(viewport)) return 0;
        viewport->dirty &= ~(DWORD)VP_DIRTY_FORMAT;
    }
    if (viewport->dirty & VP_DIRTY_WINDOW) {
        sent = 1;
        if (!SendWindow(viewport)) return 0;
        viewport->dirty &= ~(DWORD)VP_DIRTY_WINDOW;
    }
    if (viewport->dirty & VP_DIRTY_COMPRESSION) {
        sent = 1;
        if (!SendCompression(viewport)) return 0;
        viewport->dirty &= ~(DWORD)VP_DIRTY_COMPRESSION;
    }
    // The target stays marked: automatic compression re-sends it with every
    // later apply.
    if (viewport->dirty & VP_DIRTY_TARGET) {
        sent = 1;
        if (!SendTarget(viewport)) return 0;
    }
    viewport->pending = 0;
    return sent;
}

DWORD ApplyViewportUncompressed(Viewport* viewport) {
    if (!viewport) return 0;
    DWORD result = ZELT_SetCompression(viewport->link, 0, 0);
    if (viewport->dirty & VP_DIRTY_FORMAT) {
        if (!SendFormat(viewport)) return 0;
        viewport->dirty &= ~(DWORD)VP_DIRTY_FORMAT;
    }
    if (viewport->dirty & VP_DIRTY_WINDOW) {
        if (!SendWindow(viewport)) return 0;
        viewport->dirty &= ~(DWORD)VP_DIRTY_WINDOW;
    }
    viewport->pending = 1;
    viewport->dirty |= VP_DIRTY_COMPRESSION;
    return result;
}

void SetViewportDefaults(Viewport* viewport) {
    if (!viewport) return;
    viewport->pending = 1;
    viewport->videoSize = 1;
    viewport->subSample = 1;
    viewport->yuvOrder = 0;
    viewport->colStart8 = viewport->colEnd8 = viewport->rowStart4 = viewport->rowEnd4 = 0;
    viewport->compMode = 0;
    viewport->decimation = 0;
    viewport->frTargeting = 0;
    viewport->targetFR = 15;
    viewport->targetQ = 5;
    viewport->yThreshold = 6;
    viewport->uvThreshold = 6;
    viewport->targetFps = 30;
}

void ComputeCompressionTarget(Viewport* viewport, DWORD videoConf, WORD fps, int level) {
    if (!viewport || level < 1 || level > 10) return;
    if (videoConf == 0) {
        int fr = level == 1 ? 1 : level == 2 ? 6 : 4 * level;
        viewport->targetFR = (BYTE)(fr < 28 ? fr : 28);
        viewport->targetQ = 64;
    } else {
        viewport->targetFR = (BYTE)(fps < 12 ? fps : 12);
        viewport->targetQ = (BYTE)(level <= 3 ? 2 * level : (level - 1) * (level - 1));
    }
    viewport->frTargeting = 1;
}

int SetCompressionPreset(Viewport* viewport, DWORD videoConf, int conferenceLevel, int captureLevel, WORD fps) {
    if (!viewport) return 0;
    int level = videoConf ? conferenceLevel : captureLevel;
    viewport->decimation = (level == 10 && viewport->rowEnd4 - viewport->rowStart4 > 36) ? 1 : 0;
    if (level == 1) {
        viewport->compMode = 0;
    } else {
        viewport->videoConf = videoConf;
        viewport->targetFps = fps;
        ComputeCompressionTarget(viewport, videoConf, fps, level);
        viewport->dirty |= VP_DIRTY_TARGET;
    }
    viewport->pending = 1;
    viewport->dirty |= VP_DIRTY_COMPRESSION;
    return 1;
}

void AdaptCompressionTarget(Viewport* viewport, int spareTime) {
    if (!viewport) return;
    BYTE before = viewport->targetQ;
    if (spareTime) {
        if (viewport->targetQ > 4) viewport->targetQ = viewport->targetQ < 12 ? 4 : (BYTE)(viewport->targetQ - 8);
    } else if (viewport->targetQ < 64) {
        viewport->targetQ = (BYTE)(viewport->targetQ + 32);
    }
    if (viewport->targetQ != before) {
        viewport->pending = 1;
        viewport->dirty |= VP_DIRTY_TARGET;
    }
}

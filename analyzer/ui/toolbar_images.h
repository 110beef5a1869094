// The images of the toolbars and menus, by their index in the program's image list.
#pragma once

#include <QIcon>

namespace AnalyzerProject {

enum ToolbarImage {
    ImageSave = 0,
    ImageSipViewer = 1,
    ImagePacketViewer = 2,
    ImageStatistic = 3,
    ImageOptions = 4,
    ImageCaptureStop = 5,
    ImageCaptureStart = 6,
    ImageRtpSpy = 7,
    ImageDisplayFilter = 8,
    ImageJitterBuffer = 12,
    // Main window: where an analysis comes from.
    ImageRemoteCapture = 100,
    ImageLocalCapture,
    ImageCaptureFile,
};

QIcon ToolbarIcon(int image);

} // namespace AnalyzerProject

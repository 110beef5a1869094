#include "toolbar_images.h"

#include <QApplication>
#include <QStyle>

namespace AnalyzerProject {

QIcon ToolbarIcon(int image)
{
    QStyle* s = QApplication::style();
    switch (image) {
    case ImageSave: return s->standardIcon(QStyle::SP_DialogSaveButton);
    case ImageSipViewer: return s->standardIcon(QStyle::SP_MessageBoxInformation);
    case ImagePacketViewer: return s->standardIcon(QStyle::SP_FileDialogDetailedView);
    case ImageStatistic: return s->standardIcon(QStyle::SP_FileDialogInfoView);
    case ImageOptions: return s->standardIcon(QStyle::SP_FileDialogContentsView);
    case ImageCaptureStop: return s->standardIcon(QStyle::SP_MediaStop);
    case ImageCaptureStart: return s->standardIcon(QStyle::SP_MediaPlay);
    case ImageRtpSpy: return s->standardIcon(QStyle::SP_MediaVolume);
    case ImageDisplayFilter: return s->standardIcon(QStyle::SP_FileDialogListView);
    case ImageJitterBuffer: return s->standardIcon(QStyle::SP_BrowserReload);
    case ImageRemoteCapture: return s->standardIcon(QStyle::SP_DriveNetIcon);
    case ImageLocalCapture: return s->standardIcon(QStyle::SP_ComputerIcon);
    case ImageCaptureFile: return s->standardIcon(QStyle::SP_DirOpenIcon);
    default: return s->standardIcon(QStyle::SP_FileIcon);
    }
}

} // namespace AnalyzerProject

// Resource identifiers shared by quildor.rc and the Windows platform.
#pragma once

#define IDI_QUILDOR 1
#define IDR_DESIGN_PHOTO 101
#define IDR_TITLE_BANNER 102
#define IDR_DIALOG_PHOTO 103
#define IDR_ICON_FILE 104

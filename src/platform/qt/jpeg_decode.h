// JPEG decoding for the slide show through libjpeg-turbo's libjpeg API: the picture is decoded
// at the smallest of the decoder's own scales (M/8) that still covers the target size, so that
// most of the work of a large photograph is skipped inside the decoder, and then scaled
// smoothly, once, to the target. Every JPEG goes this way (colour, grayscale and CMYK), and the
// decoder's own error manager says when the data ended too early.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <string>

namespace quildor::qt {

// Decodes `jpeg` for a stretched control of `target` size, as RGB32 and as stored (not turned,
// colours not converted): a picture larger than the target in either direction comes back at
// exactly the target's size (a null size: the picture's own size). Throws forms::RunTimeError, naming `name`, for a file that is cut short or damaged.
QImage DecodeJpeg(const QByteArray& jpeg, QSize target, const std::string& name);

}  // namespace quildor::qt

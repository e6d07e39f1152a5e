// JPEG decoding for the slide show through libjpeg-turbo's TurboJPEG API: the picture is decoded
// at the smallest of the decoder's own scales (M/8, M = 1 to 16) that still covers the target
// size, so that most of the work of a large photograph is skipped inside the decoder, and then
// scaled smoothly, once, to the target.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>
#include <string>

namespace quildor::qt {

// Decodes `jpeg` for a stretched control of `target` size: a picture larger than the target in
// either direction comes back at exactly the target's size (a null size: the picture's own
// size). Throws forms::RunTimeError, naming `name`, for a file that is cut short or damaged;
// nothing for a JPEG the TurboJPEG API does not convert (a CMYK picture, say), which the caller
// then decodes another way.
std::optional<QImage> DecodeJpeg(const QByteArray& jpeg, QSize target, const std::string& name);

}  // namespace quildor::qt

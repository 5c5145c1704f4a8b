#pragma once

// What a scroll-bar press asks for, as the dialogs' scroll rules see it: an
// arrow, a page, or the dragged thumb (its position goes along).
enum class ScrollAction { LineLeft, LineRight, PageLeft, PageRight, Thumb, Other };

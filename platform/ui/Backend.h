#pragma once
// Which window backend this process uses: VESK_UI=sdl or VESK_UI=headless; by default sdl
// when a display can be opened, headless otherwise. Decided once; safe from any thread.

namespace vesk::ui {

enum class Backend { Sdl, Headless };

Backend ChosenBackend();

}  // namespace vesk::ui

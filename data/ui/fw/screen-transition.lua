-- ui/fw/screen-transition.lua

-- The cover of a screen switch: the display fades to black while the
-- transition comes in and back while it goes.

UIEvents ("ui/fw/screen-transition-events.lua");

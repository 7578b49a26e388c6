-- Every one of the 18 component kinds on one screen, for the tests (the
-- screenshot of each kind, and writing the layout out and reading it back).
-- The visible kinds stand in three rows on an 800 x 600 virtual screen; the
-- invisible ones (marker, path, touch field, touch grid, advert) hold values
-- that only reading them back shows. The scriptable's script is copied to
-- "user://kinds-scriptable.lua" by the tests.

CreateComp ("Rectangle", "Backdrop");
SetProperty ("rectangle.rect_width", "800");
SetProperty ("rectangle.rect_height", "600");
SetProperty ("color.r", 0.1);
SetProperty ("color.g", 0.1);
SetProperty ("color.b", 0.3);

-- Row 1: the input kinds.
CreateComp ("Button", "Button");
SetProperty ("button.bm_idle", "ui/gfx/button.png");
SetProperty ("button.font", "fonts/medium.sft");
SetProperty ("button.text", "Button");
SetProperty ("localize", 0);
SetProperty ("align", "CENTER");
SetProperty ("position", 0.15, 0.12);

CreateComp ("Checkbox", "Checkbox");
SetProperty ("checkbox.bm_idle", "ui/gfx/checkbox-off.png");
SetProperty ("checkbox.bm_marker", "ui/gfx/checkbox-mark.png");
SetProperty ("checkbox.value", "1");
SetProperty ("align", "CENTER");
SetProperty ("position", 0.4, 0.12);

CreateComp ("Slider", "Slider");
SetProperty ("slider.bm_panel", "ui/gfx/slider-track.png");
SetProperty ("slider.bm_full", "ui/gfx/slider-fill.png");
SetProperty ("slider.bm_marker", "ui/gfx/slider-knob.png");
SetProperty ("slider.value", 0.5);
SetProperty ("align", "CENTER");
SetProperty ("position", 0.62, 0.12);

CreateComp ("Editbox", "Editbox");
SetProperty ("editbox.bm_panel", "ui/gfx/editbox.png");
SetProperty ("editbox.font", "fonts/small.sft");
SetProperty ("editbox.text", "name");
SetProperty ("align", "CENTER");
SetProperty ("position", 0.86, 0.12);

-- Row 2: text and pictures.
CreateComp ("Listbox", "Listbox");
SetProperty ("position", 0.05, 0.3);

CreateComp ("Textbox", "Textbox");
SetProperty ("textbox.font", "fonts/medium.sft");
SetProperty ("textbox.text", "Kinds");
SetProperty ("localize", 0);
SetProperty ("align", "CENTER");
SetProperty ("position", 0.15, 0.35);

CreateComp ("Image", "Image");
SetProperty ("image.bitmap", "ui/gfx/logo-emblem.png");
SetProperty ("scale", 0.4);
SetProperty ("align", "CENTER");
SetProperty ("position", 0.4, 0.35);

CreateComp ("NinePatch", "NinePatch");
SetProperty ("ninepatch.bitmap", "ui/gfx/panel.png");
SetProperty ("ninepatch.client_size", 120, 40);
SetProperty ("align", "CENTER");
SetProperty ("position", 0.62, 0.35);

CreateComp ("Scriptable", "Scriptable");
SetProperty ("scriptable.script", "user://kinds-scriptable.lua");
SetProperty ("position", 0.8, 0.3);

-- Row 3: shapes, the model and the particles.
CreateComp ("Rectangle", "Rectangle");
SetProperty ("rectangle.rect_width", "100");
SetProperty ("rectangle.rect_height", "40");
SetProperty ("color.g", 0);
SetProperty ("color.b", 0);
SetProperty ("position", 0.05, 0.55);

CreateComp ("Ruler", "Ruler");
SetProperty ("ruler.endpoint_bitmap", "ui/gfx/ruler-end.png");
SetProperty ("ruler.repeat_bitmap", "ui/gfx/ruler-repeat.png");
SetProperty ("ruler.client_width", 240.000000);
SetProperty ("ruler.client_height", 8.000000);
SetProperty ("position", 0.25, 0.58);

-- The model's depth is its position's z times the virtual height: 0.5, the
-- renderer's default depth, on a screen 600 high.
CreateComp ("Model", "Model");
SetProperty ("model.model", "models/tile.xml");
SetProperty ("position", 0.7, 0.58);
SetProperty ("position.z", 0.000833333);

CreateComp ("Emitter", "Emitter");
SetProperty ("emitter.fx", "fxs/ring-glow.lua");
SetProperty ("emitter.time_interval", "0.2");
SetProperty ("emitter.initial_simulation_time", "0.5");
SetProperty ("position", 0.88, 0.58);

-- Row 4: the containers. The touch field is scrolled by 30 units: its
-- child image shows 30 pixels left of where it stands.
CreateComp ("TouchField", "TouchField");
SetProperty ("touchfield.area_width", 200);
SetProperty ("touchfield.area_height", 100);
SetProperty ("touchfield.content_width", 600);
SetProperty ("touchfield.limit_type", "STOP");
SetProperty ("touchfield.value_x", 30);
SetProperty ("position", 0.05, 0.75);

CreateComp ("Image", "Scrolled");
SetProperty ("parent", "TouchField");
SetProperty ("image.bitmap", "ui/gfx/star.png");
SetProperty ("position_type", "ABSOLUTE");
SetProperty ("position", 60, 40);

CreateComp ("TouchGrid", "TouchGrid");
SetProperty ("touchgrid.num_steps_axis_x", 3);
SetProperty ("touchgrid.step_size_axis_x", 200);
SetProperty ("touchgrid.step_size_axis_y", 100);
SetProperty ("touchgrid.axis_y_enabled", 0);
SetProperty ("touchgrid.selected_step_axis_x_instant", 1);
SetProperty ("position", 0.4, 0.75);

CreateComp ("Image", "Page");
SetProperty ("parent", "TouchGrid");
SetProperty ("image.bitmap", "ui/gfx/star.png");
SetProperty ("position_type", "ABSOLUTE");
SetProperty ("position", 240, 40);

-- Invisible: a named place, a path and an advert's room.
CreateComp ("Marker", "Marker");
SetProperty ("marker.area_width", 32);
SetProperty ("marker.area_height", 16);
SetProperty ("position", 0.9, 0.9);

CreateComp ("Path", "Path");
SetProperty ("path.point", 0, 0);
SetProperty ("path.point", 100, 0);
SetProperty ("path.point", 100, 50);
SetProperty ("position", 0.5, 0.5);

CreateComp ("Ad", "Ad");
SetProperty ("ad.rect_width", "300");
SetProperty ("ad.rect_height", "250");
SetProperty ("position", 0.3, 0.3);

-- ui/touch-menu.lua: a touch field and a touch grid at whole pixels.

UIEvents ("ui/events/touch-menu.lua");

CreateComp ("Rectangle", "Backdrop");
SetProperty ("rectangle.rect_width", "1024");
SetProperty ("rectangle.rect_height", "600");
SetProperty ("scale_type", "ACTUAL_SIZE");
SetProperty ("color.r", 0.2);
SetProperty ("color.g", 0.3);
SetProperty ("color.b", 0.2);

CreateComp ("TouchField", "TouchField");
SetProperty ("scale_type", "ACTUAL_SIZE");
SetProperty ("touchfield.area_width", 300);
SetProperty ("touchfield.area_height", 300);
SetProperty ("touchfield.content_width", 300);
SetProperty ("touchfield.content_height", 1000);
SetProperty ("position", 0.125, 0.2);

CreateComp ("TouchGrid", "TouchGrid");
SetProperty ("scale_type", "ACTUAL_SIZE");
SetProperty ("touchgrid.num_steps_axis_x", 3);
SetProperty ("touchgrid.step_size_axis_x", 300);
SetProperty ("touchgrid.step_size_axis_y", 300);
SetProperty ("touchgrid.axis_y_enabled", 0);
SetProperty ("position", 0.625, 0.2);

-- On the first page, 150 x 150 into it: (790, 270) on the screen.
CreateComp ("Button", "GridButton");
SetProperty ("parent", "TouchGrid");
SetProperty ("scale_type", "ACTUAL_SIZE");
SetProperty ("button.text", "Page");
SetProperty ("position_type", "ABSOLUTE");
SetProperty ("position", 150, 150);

-- The comparison programs of bench_compare, one game folder for both:
--   love bench/love sprites N FRAMES     love bench/love start
require(love.arg.parseGameArguments(arg)[1] or "start")

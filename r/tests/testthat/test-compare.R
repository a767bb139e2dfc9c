test_that("scantelk_compare stacks runs of different years under their names", {
  fleets <- read_scantelk(repo_file("tests", "golden", "fleets.tmp"))
  both <- scantelk_compare(list(tiny = tiny_path(), fleets = fleets))
  expect_equal(both[both$run == "fleets", -1], as.data.frame(fleets), ignore_attr = TRUE)
  expect_equal(sum(both$run == "tiny"), 58)
})

# (3) The long forms' types: rows that sort as numbers, labels as factors of fixed levels, so
# that runs stack without turning them into text.

test_that("long forms have integer rows and the same factor levels for every run", {
  haddock <- as.data.frame(read_scantelk(repo_file("tests", "golden", "haddock.tmp")))
  both <- scantelk_compare(list(tiny = tiny_path(), fleets = repo_file("tests", "golden", "fleets.tmp")))
  empty <- scantelk_compare(list(run = make_run("--years", "0")))
  types <- c(block = "factor", row = "integer", kind = "factor", year = "integer",
             value = "numeric")
  for (case in list(list(haddock, types), list(both, c(run = "factor", types)),
                    list(empty, c(run = "factor", types)))) {
    long <- case[[1]]
    expect_equal(vapply(long, class, ""), case[[2]])
    expect_equal(levels(long$block)[c(1, 15)], c("natural_mortality", "recruitment"))
    expect_equal(levels(long$kind), c("input", "effective", "observed", "predicted",
                                      "std_residual"))
  }
  rows <- tapply(haddock$row, haddock$block, unique)
  expect_equal(rows[c("stock_numbers", "index_fit", "average_f", "ssb", "recruitment")],
               list(stock_numbers = 1:10, index_fit = c(1L, 2L, 4L), average_f = 1:3,
                    ssb = 1L, recruitment = 1L), ignore_attr = TRUE)
  expect_equal(levels(both$run), c("tiny", "fleets"))
})

# (5) The plots.

test_that("plot and plot_compare each write a PNG", {
  run <- read_scantelk(tiny_path())
  for (draw in list(function() plot(run), function() plot_compare(list(a = run, b = run)))) {
    path <- tempfile(fileext = ".png")
    png(path)
    draw()
    dev.off()
    expect_gt(file.size(path), 0)
  }
})

test_that("plot_compare refuses a name given twice and an F column that does not exist", {
  run <- read_scantelk(tiny_path())
  png(tempfile(fileext = ".png"))
  on.exit(dev.off())
  expect_error(plot_compare(list(a = run, a = run)), "\"a\" is given twice", fixed = TRUE)
  for (f_column in list(0, 4, "1", c(1, 2))) {
    expect_error(plot_compare(list(a = run), f_column = f_column), "f_column must be 1, 2 or 3")
  }
})

test_that("a legend stands above every value of its panel, whatever the values' size", {
  png(tempfile(fileext = ".png"), 480, 480)
  on.exit(dev.off())
  for (names in list(c("observed", "predicted"), paste("run", 1:12))) {
    key <- list(legend = names, col = 1, lty = 1)
    for (high in c(1, 2500, 1e7)) {
      # From zero, and over values far from it (a mean age), whose axis does not reach zero.
      for (zero in c(TRUE, FALSE)) {
        scantelk:::open_panel(1980:2021, c(0.8, 0.9, 1) * high, "Title", "Value", key = key,
                              zero = zero)
        legend_box <- do.call(legend, c(list("topright", plot = FALSE),
                                        scantelk:::fit_key(key)$arguments))$rect
        expect_gt(legend_box$top - legend_box$h, high)
        expect_equal(par("usr")[3] > 0, !zero)
      }
    }
  }
})

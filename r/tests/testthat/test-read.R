# (1) Golden summaries read back against the .dat and .rep they come from.

test_that("every value of the tiny summary is the one tiny.dat and tiny.rep give", {
  run <- read_scantelk(tiny_path())
  expect_equal(unlist(run$index_spec[, -1]), c(value1 = 2, value2 = 1, value3 = 2, value4 = 1,
                                                value5 = 1, value6 = 2, use = 1, used = TRUE))
  expect_equal(as.data.frame(run)$value, c(
    0.2, 0.2, 0.2, 0.2, 0.5, 0.5, 1, 1, 0.25, 0.25, 0.75, 0.75, 0.2, 0.2, 0.7, 0.7, 0.22, 0.22,
    0.73, 0.73, 1500, 1250.5, 0, 0, 100, 100, 87.4, 112.9, 0, 0, 0, 0, 3.5, 4.25, 3.62, 4.01,
    -0.15, 0.28, 50, 50, 41.3, 65, 0.31, 0.28, 0.29, 0.27, 0.3, 0.26, 12000, 13500, 8000, 8400,
    9500.25, 9810, 13500, 11000, 13210.7, 11820.3))
  expect_output(print(run), "years: 2 from 2000; ages: 2; fleets: 1; indices: 1 (1 used)",
                fixed = TRUE)
})

test_that("haddock's values stand at their age and year; recruits at their own year", {
  run <- read_scantelk(repo_file("tests", "golden", "haddock.tmp"))
  dat <- readLines(repo_file("examples", "haddock.dat"))
  by_year <- read.table(text = dat[grep("^# Natural Mortality", dat) + 1:40])
  expect_equal(unname(run$natural_mortality), unname(t(as.matrix(by_year))))
  expect_equal(dimnames(run$stock_numbers), list(age = as.character(1:10),
                                                 year = as.character(1982:2021)))
  # The report's last 40 lines: year, SSB, observed and predicted recruits of the next year.
  last <- read.table(text = tail(readLines(repo_file("examples", "haddock.rep")), 40))
  expect_equal(run$recruitment["predicted", ], setNames(last$V4, last$V1 + 1))
  # The generator's recruits are the following year's stock numbers at the first age.
  expect_equal(run$recruitment["predicted", 1:39], run$stock_numbers["1", -1])
})

# (2) Runs made by scantelk from scripts/make_run.py.

test_that("a run without indices has empty index tables", {
  run <- make_run("--indices", "0")
  expect_equal(nrow(run$index_spec), 0)
  expect_equal(dim(run$index_fit), c(0L, 3L, 4L))
})

test_that("a run without years compares and plots, with an empty long form", {
  run <- make_run("--years", "0")
  expect_equal(dim(scantelk_compare(list(run = run))), c(0L, 6L))
  png(tempfile(fileext = ".png"))
  expect_no_error(plot_compare(list(run = run)))
  dev.off()
})

test_that("a use flag of -1 before a used index counts as used", {
  run <- make_run("--indices", "3", "--unused", "1",
                  edit = function(dat) sub("^1 0 1 ", "-1 0 1 ", dat))
  expect_equal(run$index_spec$use, c(-1L, 0L, 1L))
  expect_equal(dimnames(run$index_fit)$index, c("1", "3"))
})

test_that("a hundred indices and index values of three characters widen their fields", {
  run <- make_run("--indices", "100", edit = function(dat) sub("^2 2 ", "-10 100 ", dat))
  expect_equal(run$index_spec$value1[1:3], c(-10L, 100L, 2L))
  expect_equal(dimnames(run$index_fit)$index, as.character(1:100))
})

test_that("a title equal to a block heading is read as the title only", {
  run <- make_run("--title", "Natural Mortality")
  expect_equal(run$title, "Natural Mortality")
  expect_equal(run$natural_mortality[, 1], c(`1` = 0.2, `2` = 0.2, `3` = 0.2))
})

test_that("overflowing values give Inf and -Inf; a hand-written NaN gives NaN", {
  run <- make_run(edit = function(dat) {
    at <- grep("^# Natural Mortality", dat) + 1:2
    replace(dat, at, paste(c("1e999", "-1e999"), sub("^[^ ]+ ", "", dat[at])))
  })
  expect_equal(unname(run$natural_mortality[1, 1:2]), c(Inf, -Inf))
  text <- readLines(tiny_path())
  nan <- write_summary(replace(text, 4, sub("^[^ ]+  ", "NaN            ", text[4])))
  expect_identical(read_scantelk(nan)$natural_mortality[1, ], c(`2000` = NaN, `2001` = 0.2))
})

# (3) Only what the writer writes is a summary; its numbers are the correctly rounded doubles.

test_that("every bad summary of the shared table is refused with its own message", {
  folder <- repo_file("tests", "bad_summaries")
  cases <- read.delim(file.path(folder, "cases.tsv"), quote = "", colClasses = "character")
  paths <- file.path(folder, cases$file)
  where <- ifelse(cases$line == "-", "", paste0(" line ", cases$line))
  messages <- vapply(paths, function(path) {
    tryCatch({
      read_scantelk(path)
      "read without an error"
    }, error = conditionMessage)
  }, character(1), USE.NAMES = FALSE)
  expect_identical(messages, paste0(paths, where, ": ", cases$message))
})

test_that("a file that cannot be read is named with the system's reason", {
  expect_error(read_scantelk(file.path(tempdir(), "missing.tmp")),
               "cannot read .*missing.tmp: No such file or directory")
  expect_error(read_scantelk(tempdir()), "cannot read .*: Is a directory")
})

# Every number of the summary in the order of the file: lines, then fields.
numbers_in_file_order <- function(run) {
  blocks <- setdiff(names(scantelk:::headings), "index_spec")
  unlist(lapply(blocks, function(block) {
    values <- run[[block]]
    as.vector(if (is.null(dim(values))) values else aperm(values))
  }))
}

# Each number field of the file as C's strtod reads it, one token at a time.
numbers_by_token <- function(path) {
  tokens <- unlist(strsplit(readLines(path)[-1], " +"))
  form <- "^(-?[0-9][.][0-9]{6}E[+-][0-9]{3}|NaN|-?Inf)$"
  .Call(scantelk:::C_strtod_numbers, grep(form, tokens, value = TRUE))
}

# tiny.tmp with extreme numbers in seven lines of left fields and seven of right fields.
extreme_summary <- function() {
  # as.numeric() misreads the last bit of the first two.
  extremes <- c("6.364065E-002", "3.441594E-007", "1.797693E+308", "4.940656E-324",
                "-2.225074E-308", "9.999999E+028", "1.000000E-016", "-1.234567E-017",
                "1.000000E+029", "NaN", "Inf", "-Inf", "-9.876543E+100", "0.000000E+000")
  pairs <- split(extremes, rep(1:7, each = 2))
  text <- readLines(tiny_path())
  text[c(4, 5, 7, 8, 10, 11, 13)] <- vapply(pairs, function(pair) {
    paste0(formatC(pair, width = -15), " ", collapse = "")
  }, "")
  text[c(38, 39, 40, 42, 43, 45, 46)] <- vapply(pairs, function(pair) {
    paste0(formatC(pair, width = 15), " ", collapse = "")
  }, "")
  write_summary(text)
}

test_that("each field reads as strtod reads it: bundled summaries and extreme numbers", {
  bundled <- dir(system.file("extdata", package = "scantelk"), "[.]tmp$", full.names = TRUE,
                 recursive = TRUE)
  for (path in c(bundled, extreme_summary())) {
    expect_identical(numbers_in_file_order(read_scantelk(path)), numbers_by_token(path))
  }
  for (path in dir(repo_file("tests", "golden"), "[.]tmp$", full.names = TRUE)) {
    expect_identical(numbers_in_file_order(read_scantelk(path)), numbers_by_token(path))
  }
})

# (4) Shapes and line ends that the readers once got wrong.

test_that("a run of one year, age, fleet and index keeps every dimension and name", {
  run <- make_run("--years", "1", "--ages", "1", "--fleets", "1", "--indices", "1")
  expect_equal(names(run$ssb), "1980")
  expect_equal(dimnames(run$stock_numbers), list(age = "1", year = "1980"))
  expect_equal(dimnames(run$index_fit),
               list(index = "1", kind = c("observed", "predicted", "std_residual"), year = "1980"))
  expect_equal(dimnames(run$recruitment), list(kind = c("observed", "predicted"), year = "1981"))
  long <- scantelk_compare(list(run = run))
  expect_equal(nrow(long), 23)
  expect_equal(unique(long$year), c(1980L, 1981L))
  png(tempfile(fileext = ".png"))
  on.exit(dev.off())
  expect_no_error(plot_compare(list(run = run)))
  expect_no_error(plot(run))
})

test_that("a title holding a CR of its own is read with it; only LF ends a line", {
  run <- make_run(edit = function(dat) replace(dat, 2, "Run one\r\r"))
  expect_equal(run$title, "Run one\r")
  expect_equal(names(run$ssb), as.character(1980:1983))
})

test_that("year axes have whole years only, and a single year gets room on either side", {
  expect_equal(scantelk:::whole_years(c(1979.96, 1981.04)), c(1980, 1981))
  expect_equal(scantelk:::year_limits(c(1980, NA)), c(1979, 1981))
})
